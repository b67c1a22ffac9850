#include "class_factory.h"

HRESULT STDMETHODCALLTYPE CComClassFactory::QueryInterface(REFIID iid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualGUID(iid, IidOf<IUnknown>()) && !IsEqualGUID(iid, IidOf<IClassFactory>())) return E_NOINTERFACE;
  *ppv = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

// The module lock is taken before a client's reference exists and given
// back only after it is gone, so no thread ever finds the count at 0 while
// another holds the class object (it would unload the library under it).
ULONG STDMETHODCALLTYPE CComClassFactory::AddRef() noexcept {
  ZanModule().Lock();
  LONG count = InterlockedIncrement(&refs_);
  if (count != 2) ZanModule().Unlock();  // only the first client reference keeps it
  return static_cast<ULONG>(count);
}

ULONG STDMETHODCALLTYPE CComClassFactory::Release() noexcept {
  LONG count = InterlockedDecrement(&refs_);
  if (count == 1) ZanModule().Unlock();
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !IsEqualGUID(iid, IidOf<IUnknown>())) return CLASS_E_NOAGGREGATION;
  return creator_(outer, iid, ppv);
}

HRESULT STDMETHODCALLTYPE CComClassFactory::LockServer(BOOL lock) noexcept {
  if (lock) {
    ZanModule().Lock();
  } else {
    ZanModule().Unlock();
  }
  return S_OK;
}
