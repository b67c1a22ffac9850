// A host object whose references are counted by the test, to see sharing
// and releasing. It lives on the stack; its count starts at 1 for the test.
#pragma once

#include <functional>
#include <utility>

#include "zanole/zanole.h"

namespace zantest {

class CountingObject : public IDispatch {
 public:
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
    return E_NOTIMPL;
  }
};

// A host object that calls back into whatever holds it when that holder
// releases it (its count falls back to the test's own reference), as host
// objects may; the callback runs once.
class CallbackObject : public CountingObject {
 public:
  std::function<void()> onRelease;
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    if (refs == 2 && onRelease) std::exchange(onRelease, nullptr)();
    return CountingObject::Release();
  }
};

}  // namespace zantest
