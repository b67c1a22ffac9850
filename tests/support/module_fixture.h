// Tests that reach the library's objects the way a host does, through
// DllGetClassObject and the class object. Every test must end with no live
// instance and no lock: the fixture checks DllCanUnloadNow afterwards.
#pragma once

#include "ZanScript_h.h"
#include "support/library.h"
#include "support/hresult.h"

namespace zantest {

class ModuleTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_HR(S_OK, DllCanUnloadNowOfLibrary()) << "a test left an object or lock alive"; }

  // A new stand-alone instance of clsid, asked for iid.
  template <class I>
  HRESULT Create(REFCLSID clsid, REFIID iid, I** out) {
    IClassFactory* factory = nullptr;
    HRESULT hr = DllGetClassObjectOfLibrary(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(out));
    factory->Release();
    return hr;
  }
};

// A VARIANT holding a copy of a string (VT_BSTR).
inline void SetString(Variant& v, const WCHAR* s) {
  VariantClear(v.get());
  V_VT(v.get()) = VT_BSTR;
  V_BSTR(v.get()) = SysAllocString(s);
}

inline void SetLong(Variant& v, LONG n) {
  VariantClear(v.get());
  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = n;
}

// A minimal object whose references are counted, to see sharing.
class CountingObject : public IDispatch {
 public:
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

}  // namespace zantest
