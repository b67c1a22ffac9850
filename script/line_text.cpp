#include "line_text.h"

#include <cstdint>
#include <utility>

#include "base/com_ptr.h"
#include "base/unique_variant.h"
#include "dictionary/line_entries.h"
#include "script_keys.h"

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

// Calls emit(text, length) for each piece of the joined text: a line's
// text (and comment), then LF. Values of our own lines are read in place;
// other lines, and values that need a conversion, go through LineValueText.
template <class Emit>
HRESULT ForEachPiece(const CLineArray& lines, bool withComments, VARIANT* sourceKey, VARIANT* commentKey,
                     Emit emit) {
  for (LONG i = 0; i < lines.size(); ++i) {
    IDispatch* object = lines.at(i);
    zan::ComPtr<ILineEntries> ours;
    const VARIANT* text = nullptr;
    const VARIANT* comment = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(IidOf<ILineEntries>(), ours.put_void()))) {
      text = ours->PeekItem(sourceKey);
      comment = text && withComments ? ours->PeekItem(commentKey) : nullptr;
    }
    if (ours && (!text || V_VT(text) == VT_BSTR) && (!comment || V_VT(comment) == VT_BSTR)) {
      // A comment is rendered only behind a text, with nothing between.
      if (text) emit(V_BSTR(text));
      if (comment) emit(V_BSTR(comment));
    } else if (zan::ComPtr<Scripting::IDictionary> line;
               object && SUCCEEDED(object->QueryInterface(Scripting::IID_IDictionary, line.put_void()))) {
      zan::UniqueBstr part;
      HRESULT hr = LineValueText(line.get(), sourceKey, &part);
      if (FAILED(hr)) return hr;
      const bool hasText = hr == S_OK;
      emit(part.get());
      if (withComments && hasText) {
        hr = LineValueText(line.get(), commentKey, &part);
        if (FAILED(hr)) return hr;
        emit(part.get());
      }
    }
    emit(OLESTR("\n"));
  }
  return S_OK;
}

}  // namespace

// Two passes: the length, then the text straight into the one string handed
// out, with no growing buffer and no copy of the whole.
HRESULT ConcatenateLines(const CLineArray& lines, bool withComments, zan::UniqueBstr* out) {
  zan::UniqueVariant sourceKey = zan::MakeVariantBstr(kSourceKey);
  zan::UniqueVariant commentKey = zan::MakeVariantBstr(kCommentKey);
  uint64_t total = 0;
  // Each piece counts up to its first NUL.
  HRESULT hr = ForEachPiece(lines, withComments, sourceKey.get(), commentKey.get(),
                            [&](const OLECHAR* piece) { total += piece ? WcsLen(piece) : 0; });
  if (FAILED(hr)) return hr;
  out->reset();
  if (total == 0) return S_OK;
  // Raised, as a failed append was: the callers map it as they catch it.
  if (total >= 0x7FFFFFFF / sizeof(OLECHAR)) zan::ThrowHr(E_OUTOFMEMORY);
  zan::UniqueBstr text(SysAllocStringLen(nullptr, static_cast<UINT>(total)));
  if (!text.get()) zan::ThrowHr(E_OUTOFMEMORY);
  OLECHAR* at = text.get();
  OLECHAR* const end = at + total;
  hr = ForEachPiece(lines, withComments, sourceKey.get(), commentKey.get(), [&](const OLECHAR* piece) {
    for (; piece && *piece && at < end; ++piece) *at++ = *piece;
  });
  if (FAILED(hr)) return hr;
  // A host's line may have changed the script between the passes: hand out
  // what the second pass wrote, never units it did not.
  if (at != end) text = zan::UniqueBstr::FromUnits(text.get(), static_cast<UINT>(at - text.get()));
  *out = std::move(text);
  return S_OK;
}
