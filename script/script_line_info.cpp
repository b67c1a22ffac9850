// Line information: named values in a line's dictionary, written, read as
// text and deleted by line index and key.
#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "dictionary/zan_dictionary.h"
#include "script.h"

HRESULT CScript::LineDictionary(LONG index, Scripting::IDictionary** out) const {
  *out = nullptr;
  if (!IsValidPosition(index) || index == lines_.size()) return E_FAIL;
  IDispatch* line = lines_.at(index);
  if (!line || FAILED(line->QueryInterface(Scripting::IID_IDictionary, reinterpret_cast<void**>(out))))
    return E_FAIL;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::SetLineInfo(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept {
  zan::UniqueBstr info(SysAllocString(bstrInfo));
  zan::UniqueBstr value(SysAllocString(bstrVal));
  if ((bstrInfo && !info.get()) || (bstrVal && !value.get())) return E_OUTOFMEMORY;
  IScript2* self = this;
  return self->SetLineInfoBSTR(lIndex, info.get(), value.get());
}

HRESULT STDMETHODCALLTYPE CScript::SetLineInfoBSTR(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept {
  if (!IsValidPosition(lIndex)) return E_FAIL;
  const bool append = lIndex == lines_.size();
  zan::ComPtr<Scripting::IDictionary> line;
  if (append) {
    if (FAILED(CreateLineDictionary(line.put()))) return E_FAIL;
  } else if (FAILED(LineDictionary(lIndex, line.put()))) {
    return E_FAIL;
  }
  VARIANT key = zan::VariantRefBstr(bstrInfo);
  VARIANT value = zan::VariantRefBstr(bstrVal);
  VARIANT_BOOL exists = VARIANT_FALSE;
  HRESULT hr = line->Exists(&key, &exists);
  if (FAILED(hr)) return hr;
  hr = exists ? line->put_Item(&key, &value) : line->Add(&key, &value);
  if (FAILED(hr)) return hr;
  if (append && !lines_.Insert(lIndex, line.get())) return E_OUTOFMEMORY;
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
  HRESULT hr = dictionary->Exists(key->get(), &exists);
  if (FAILED(hr)) return hr;
  if (!exists) return E_FAIL;
  *line = dictionary.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::GetLineInfo(LONG lIndex, BSTR bstrInfo, BSTR* bstrVal) noexcept {
  if (!bstrVal) return E_FAIL;
  zan::ComPtr<Scripting::IDictionary> line;
  zan::UniqueVariant key;
  HRESULT hr = FindLineInfo(lIndex, bstrInfo, line.put(), &key);
  if (FAILED(hr)) return hr;
  zan::UniqueVariant value;
  hr = line->get_Item(key.get(), value.get());
  if (FAILED(hr)) return hr;
  if (V_VT(value.get()) != VT_BSTR) VariantChangeType(value.get(), value.get(), 0, VT_BSTR);
  // A value without a text form (a null, an object) has no text to give.
  if (V_VT(value.get()) != VT_BSTR) return E_FAIL;
  BSTR text = V_BSTR(value.get());
  BSTR copy = SysAllocString(text);
  if (text && !copy) return E_FAIL;
  *bstrVal = copy;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::UpdateLineInfo(LONG, BSTR, BSTR) noexcept { return E_FAIL; }

HRESULT STDMETHODCALLTYPE CScript::DeleteLineInfo(LONG lIndex, BSTR bstrInfo) noexcept {
  zan::ComPtr<Scripting::IDictionary> line;
  zan::UniqueVariant key;
  HRESULT hr = FindLineInfo(lIndex, bstrInfo, line.put(), &key);
  if (FAILED(hr)) return hr;
  dirty_ = true;
  return line->Remove(key.get());
}
