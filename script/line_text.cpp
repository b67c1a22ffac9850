#include "line_text.h"

#include <utility>

#include "base/com_ptr.h"
#include "base/unique_variant.h"
#include "script_keys.h"
#include "textio/acc_str.h"

HRESULT LineValueText(Scripting::IDictionary* line, VARIANT* key, zan::UniqueBstr* text) noexcept {
  text->reset();
  VARIANT_BOOL exists = VARIANT_FALSE;
  HRESULT hr = line->Exists(key, &exists);
  if (FAILED(hr)) return hr;
  if (!exists) return S_FALSE;
  zan::UniqueVariant value;
  hr = line->get_Item(key, value.get());
  if (FAILED(hr)) return hr;
  // A value without a text form contributes nothing.
  if (V_VT(value.get()) != VT_BSTR) VariantChangeType(value.get(), value.get(), 0, VT_BSTR);
  if (V_VT(value.get()) == VT_BSTR) text->reset(std::exchange(V_BSTR(value.get()), nullptr));
  return S_OK;
}

namespace {

// Appends text up to its first NUL.
void AppendText(CZanAccStrW* to, const OLECHAR* text, int count = -1) {
  if (text && to->Append(text, count) != 0) zan::ThrowHr(E_OUTOFMEMORY);
}

}  // namespace

HRESULT ConcatenateLines(const CLineArray& lines, bool withComments, zan::UniqueBstr* out) {
  zan::UniqueVariant sourceKey = zan::MakeVariantBstr(kSourceKey);
  zan::UniqueVariant commentKey = zan::MakeVariantBstr(kCommentKey);
  CZanAccStrW text;
  for (LONG i = 0; i < lines.size(); ++i) {
    zan::ComPtr<Scripting::IDictionary> line;
    IDispatch* object = lines.at(i);
    if (object && SUCCEEDED(object->QueryInterface(Scripting::IID_IDictionary, line.put_void()))) {
      zan::UniqueBstr part;
      HRESULT hr = LineValueText(line.get(), sourceKey.get(), &part);
      if (FAILED(hr)) return hr;
      const bool hasText = hr == S_OK;
      AppendText(&text, part.get());
      // A comment is rendered only behind a text, with nothing between.
      if (withComments && hasText) {
        hr = LineValueText(line.get(), commentKey.get(), &part);
        if (FAILED(hr)) return hr;
        AppendText(&text, part.get());
      }
    }
    AppendText(&text, OLESTR("\n"), 1);
  }
  *out = text.buffer() ? zan::UniqueBstr::FromUnits(text.buffer(), static_cast<UINT>(text.length())) : zan::UniqueBstr();
  return S_OK;
}
