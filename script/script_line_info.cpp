// Line information: named values in a line's dictionary, written, read as
// text and deleted by line index and key.
#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "dictionary/zan_dictionary.h"
#include "line_view.h"
#include "script.h"

HRESULT CScript::LineDictionary(LONG index, Scripting::IDictionary** out) const {
  *out = nullptr;
  if (!IsValidPosition(index) || index == lines_.size()) return E_FAIL;
  IDispatch* line = lines_.at(index);
  if (!line || FAILED(line->QueryInterface(IID_PPV_ARGS(out))))
    return E_FAIL;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::SetLineInfo(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept {
  return StoreLineInfoText(lIndex, bstrInfo, bstrVal);
}

HRESULT STDMETHODCALLTYPE CScript::SetLineInfoBSTR(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept {
  return StoreLineInfo(lIndex, bstrInfo, bstrVal);
}

HRESULT CScript::StoreLineInfoText(LONG index, BSTR name, BSTR text) noexcept {
  zan::UniqueBstr info(SysAllocString(name));
  zan::UniqueBstr value(SysAllocString(text));
  if ((name && !info.get()) || (text && !value.get())) return E_OUTOFMEMORY;
  return StoreLineInfo(index, info.get(), value.get());
}

HRESULT CScript::StoreLineInfo(LONG index, BSTR name, BSTR text) noexcept {
  if (!IsValidPosition(index)) return E_FAIL;
  const bool append = index == lines_.size();
  zan::ComPtr<Scripting::IDictionary> line;
  // A new line with its one piece of information: one allocation. A value
  // of an odd byte length keeps its last byte only through VariantCopy.
  if (append && name && text && SysStringByteLen(text) == SysStringLen(text) * sizeof(OLECHAR)) {
    const LineTextEntry entry{name, SysStringLen(name), text, SysStringLen(text)};
    ZAN_RETURN_IF_FAILED(CreateLineDictionary(&entry, 1, line.put()));
  } else {
    if (append) {
      if (FAILED(CreateLineDictionary(line.put()))) return E_FAIL;
    } else if (FAILED(LineDictionary(index, line.put()))) {
      return E_FAIL;
    }
    VARIANT key = zan::VariantRefBstr(name);
    VARIANT value = zan::VariantRefBstr(text);
    VARIANT_BOOL exists = VARIANT_FALSE;
    HRESULT hr = line->Exists(&key, &exists);
    ZAN_RETURN_IF_FAILED(hr);
    hr = exists ? line->put_Item(&key, &value) : line->Add(&key, &value);
    ZAN_RETURN_IF_FAILED(hr);
  }
  if (append && !lines_.Insert(index, line.get())) return E_OUTOFMEMORY;
  dirty_ = true;
  return S_OK;
}

HRESULT CScript::FindLineInfo(LONG index, BSTR name, Scripting::IDictionary** line, zan::UniqueVariant* key) const {
  zan::ComPtr<Scripting::IDictionary> dictionary;
  if (FAILED(LineDictionary(index, dictionary.put()))) return E_FAIL;
  // A copy up to the first NUL; a null key stays null, for the dictionary
  // to judge.
  if (FAILED(zan::MakeVariantBstr(name, key))) return E_FAIL;
  VARIANT_BOOL exists = VARIANT_FALSE;
  ZAN_RETURN_IF_FAILED(dictionary->Exists(key->get(), &exists));
  if (!exists) return E_FAIL;
  *line = dictionary.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::GetLineInfo(LONG lIndex, BSTR bstrInfo, BSTR* bstrVal) noexcept {
  return ReadLineInfo(lIndex, bstrInfo, bstrVal);
}

HRESULT CScript::ReadLineInfo(LONG index, BSTR name, BSTR* out) const noexcept {
  if (!out) return E_FAIL;
  if (!IsValidPosition(index) || index == lines_.size()) return E_FAIL;
  try {
    // Held: converting an object value to text calls out, and the call may
    // take the line out of the script.
    zan::ComPtr<IDispatch> object(lines_.at(index));
    CLineView line(object.get());
    if (!line.IsLine()) return E_FAIL;
    // A copy up to the first NUL; a null key stays null, for the line to
    // judge.
    zan::UniqueVariant key;
    if (FAILED(zan::MakeVariantBstr(name, &key))) return E_FAIL;
    BSTR text = nullptr;
    bool found = false;
    zan::UniqueBstr converted;
    if (!V_BSTR(key.get()) || !line.PeekText(key.get(), &text, &found)) {
      bool textual = false;
      HRESULT hr = line.Text(key.get(), &converted, &textual);
      ZAN_RETURN_IF_FAILED(hr);
      found = hr == S_OK;
      // A value without a text form (a null, an object) has no text to give.
      if (found && !textual) return E_FAIL;
      text = converted.get();
    }
    if (!found) return E_FAIL;
    BSTR copy = SysAllocString(text);
    if (text && !copy) return E_FAIL;
    *out = copy;
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CScript::UpdateLineInfo(LONG, BSTR, BSTR) noexcept { return E_FAIL; }

HRESULT STDMETHODCALLTYPE CScript::DeleteLineInfo(LONG lIndex, BSTR bstrInfo) noexcept {
  zan::ComPtr<Scripting::IDictionary> line;
  zan::UniqueVariant key;
  ZAN_RETURN_IF_FAILED(FindLineInfo(lIndex, bstrInfo, line.put(), &key));
  dirty_ = true;
  return line->Remove(key.get());
}
