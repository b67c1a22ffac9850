#include "zan_dictionary.h"

#include "base/com_ptr.h"
#include "dictionary_array.h"

using zan::UniqueVariant;

void CZanDictionaryImpl::FinalRelease() noexcept {
  // Emptied before the entries go, so a value that calls back while it is
  // released finds an empty dictionary rather than a map being torn down.
  EntryMap doomed;
  doomed.swap(entries_);
}

bool CZanDictionaryImpl::KeyLess::operator()(const UniqueVariant& a, const UniqueVariant& b) const {
  if (V_VT(a.get()) == VT_NULL && V_VT(b.get()) == VT_NULL) return false;
  return VarCmp(const_cast<VARIANT*>(a.get()), const_cast<VARIANT*>(b.get()), LOCALE_USER_DEFAULT, 0) ==
         VARCMP_LT;
}

CComTypeInfoHolder& CZanDictionaryImpl::TypeInfo() {
  static CComTypeInfoHolder holder(Scripting::IID_IDictionary, LIBID_ZANSCRIPTLib, 1, 0);
  return holder;
}

HRESULT CZanDictionaryImpl::CheckedKey(const VARIANT* key, UniqueVariant* copy) {
  if (V_VT(key) != VT_BSTR || !V_BSTR(key)) return E_INVALIDARG;
  return copy->CopyFrom(key);
}

// One search finds the entry or the place for it. The value is copied
// before the key goes in, so a failed copy leaves the map as it was.
HRESULT CZanDictionaryImpl::Store(UniqueVariant key, const VARIANT* value, bool replace) {
  auto at = entries_.lower_bound(key);
  const bool found = at != entries_.end() && !KeyLess()(key, at->first);
  if (found && !replace) return kStatusKeyExists;
  if (found && value == at->second.get()) return S_OK;
  UniqueVariant copy;
  HRESULT hr = copy.CopyFrom(value);
  if (FAILED(hr)) return hr;
  if (found) {
    at->second = std::move(copy);
  } else {
    entries_.emplace_hint(at, std::move(key), std::move(copy));
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::GetTypeInfoCount(UINT* pctinfo) noexcept {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept {
  return TypeInfo().GetTypeInfo(iTInfo, lcid, ppTInfo);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                            LCID lcid, DISPID* rgDispId) noexcept {
  return TypeInfo().GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept {
  return TypeInfo().Invoke(static_cast<Scripting::IDictionary*>(this), dispIdMember, riid, lcid, wFlags,
                           pDispParams, pVarResult, pExcepInfo, puArgErr);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::putref_Item(VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }

HRESULT CZanDictionaryImpl::CheckedStore(const VARIANT* key, const VARIANT* value, bool replace) {
  if (!key || !value) return E_POINTER;
  try {
    UniqueVariant copy;
    HRESULT hr = CheckedKey(key, &copy);
    if (FAILED(hr)) return hr;
    return Store(std::move(copy), value, replace);
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::put_Item(VARIANT* Key, VARIANT* pRetItem) noexcept {
  return CheckedStore(Key, pRetItem, true);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_Item(VARIANT* Key, VARIANT* pRetItem) noexcept {
  if (!Key || !pRetItem) return E_POINTER;
  UniqueVariant key;
  HRESULT hr = CheckedKey(Key, &key);
  if (FAILED(hr)) return hr;
  auto found = entries_.find(key);
  if (found == entries_.end()) return kStatusKeyNotFound;
  // An out parameter: whatever it held is not ours to clear.
  V_VT(pRetItem) = VT_EMPTY;
  return VariantCopy(pRetItem, found->second.get());
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Add(VARIANT* Key, VARIANT* Item) noexcept {
  return CheckedStore(Key, Item, false);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_Count(LONG* pCount) noexcept {
  if (!pCount) return E_POINTER;
  *pCount = static_cast<LONG>(entries_.size());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Exists(VARIANT* Key, VARIANT_BOOL* pExists) noexcept {
  if (!Key || !pExists) return E_POINTER;
  UniqueVariant key;
  HRESULT hr = CheckedKey(Key, &key);
  if (FAILED(hr)) return hr;
  *pExists = entries_.count(key) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Items(VARIANT* pItemsArray) noexcept { return BuildArray(false, pItemsArray); }

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::put_Key(VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Keys(VARIANT* pKeysArray) noexcept { return BuildArray(true, pKeysArray); }

HRESULT CZanDictionaryImpl::BuildArray(bool keys, VARIANT* out) {
  if (!out) return E_POINTER;
  zan::DictionaryArray array(static_cast<ULONG>(entries_.size()));
  if (!array.get()) return E_FAIL;
  LONG index = 0;
  for (auto& entry : entries_) {
    HRESULT hr = array.Put(index++, keys ? entry.first.get() : entry.second.get());
    if (FAILED(hr)) return hr;
  }
  V_VT(out) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(out) = array.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Remove(VARIANT* Key) noexcept {
  if (!Key) return E_POINTER;
  // A reference is compared by the value it points at; a key that cannot be
  // compared with strings at all matches nothing, rather than everything.
  UniqueVariant key;
  HRESULT hr = VariantCopyInd(key.get(), Key);
  if (FAILED(hr)) return hr;
  if (V_VT(key.get()) != VT_NULL) {
    VARIANT probe = zan::VariantRefBstr(nullptr);
    HRESULT order = VarCmp(key.get(), &probe, LOCALE_USER_DEFAULT, 0);
    if (order != VARCMP_LT && order != VARCMP_EQ && order != VARCMP_GT) return S_OK;
  }
  auto range = entries_.equal_range(key);
  entries_.erase(range.first, range.second);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::RemoveAll() noexcept {
  entries_.clear();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::put_CompareMode(Scripting::CompareMethod) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_CompareMode(Scripting::CompareMethod*) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::_NewEnum(IUnknown**) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_HashVal(VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Clone(IUnknown** ppunk) noexcept {
  if (!ppunk) return E_POINTER;
  zan::ComPtr<Scripting::IDictionary> clone;
  HRESULT hr = CreateLineDictionary(clone.put());
  if (FAILED(hr)) return hr;
  Scripting::IDictionary* self = this;
  UniqueVariant keys;
  hr = self->Keys(keys.get());
  if (FAILED(hr)) return hr;
  if (V_VT(keys.get()) != (VT_ARRAY | VT_VARIANT)) return hr;
  SAFEARRAY* array = V_ARRAY(keys.get());
  LONG upper = -1;
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG i = 0; i <= upper; ++i) {
    UniqueVariant element;
    hr = SafeArrayGetElement(array, &i, element.get());
    if (FAILED(hr)) return hr;
    if (V_VT(element.get()) != VT_BSTR) continue;
    // The key borrows the element's string; the element still owns it.
    VARIANT key = zan::VariantRefBstr(V_BSTR(element.get()));
    UniqueVariant value;
    hr = self->get_Item(&key, value.get());
    if (FAILED(hr)) return hr;
    hr = clone->put_Item(&key, value.get());
    if (FAILED(hr)) return hr;
  }
  *ppunk = clone.Detach();
  return S_OK;
}

HRESULT CreateLineDictionary(Scripting::IDictionary** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    auto* object = new (std::nothrow) CComObject<CZanDictionaryImpl>();
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->QueryInterface(Scripting::IID_IDictionary, reinterpret_cast<void**>(out));
    object->Release();
    return hr;
  }
  ZAN_CATCH_RETURN()
}
