// A line object that a host implements itself: its own IDictionary over a
// store of the test's, recording every call and failing the one the test
// names. It may pass every interface id it does not know on to an inner
// object, as a host that wraps a ZanDictionary by blind aggregation does.
// It lives on the stack; its count starts at 1 for the test.
#pragma once

#include <string>
#include <vector>

#include "support/module_fixture.h"

namespace zantest {

class HostLine : public Scripting::IDictionary {
 public:
  explicit HostLine(zan::ComPtr<Scripting::IDictionary> store, IUnknown* forwardTo = nullptr)
      : store_(std::move(store)), forwardTo_(forwardTo) {}

  ULONG refs = 1;
  int queries = 0;
  // "get_Item script source", "Keys", ... in the order they came.
  std::vector<std::string> calls;
  // The call that fails, and how.
  std::string failing;
  HRESULT failure = E_UNEXPECTED;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    ++queries;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch) ||
        IsEqualGUID(iid, Scripting::IID_IDictionary)) {
      *ppv = static_cast<Scripting::IDictionary*>(this);
      AddRef();
      return S_OK;
    }
    if (forwardTo_) return forwardTo_->QueryInterface(iid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) noexcept override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE putref_Item(VARIANT*, VARIANT*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Item(VARIANT* key, VARIANT* value) noexcept override {
    return Call("put_Item", key) ? store_->put_Item(key, value) : failure;
  }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT* key, VARIANT* value) noexcept override {
    return Call("get_Item", key) ? store_->get_Item(key, value) : failure;
  }
  HRESULT STDMETHODCALLTYPE Add(VARIANT* key, VARIANT* value) noexcept override {
    return Call("Add", key) ? store_->Add(key, value) : failure;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) noexcept override {
    return Call("get_Count") ? store_->get_Count(count) : failure;
  }
  HRESULT STDMETHODCALLTYPE Exists(VARIANT* key, VARIANT_BOOL* exists) noexcept override {
    return Call("Exists", key) ? store_->Exists(key, exists) : failure;
  }
  HRESULT STDMETHODCALLTYPE Items(VARIANT* items) noexcept override {
    return Call("Items") ? store_->Items(items) : failure;
  }
  HRESULT STDMETHODCALLTYPE put_Key(VARIANT*, VARIANT*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Keys(VARIANT* keys) noexcept override {
    return Call("Keys") ? store_->Keys(keys) : failure;
  }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT* key) noexcept override {
    return Call("Remove", key) ? store_->Remove(key) : failure;
  }
  HRESULT STDMETHODCALLTYPE RemoveAll() noexcept override {
    return Call("RemoveAll") ? store_->RemoveAll() : failure;
  }
  HRESULT STDMETHODCALLTYPE put_CompareMode(Scripting::CompareMethod) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CompareMode(Scripting::CompareMethod*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HashVal(VARIANT*, VARIANT*) noexcept override { return E_NOTIMPL; }

 private:
  // Records the call; false when it is the one to fail.
  bool Call(const char* name, const VARIANT* key = nullptr) {
    std::string call = name;
    if (key && V_VT(key) == VT_BSTR) call += " " + Narrow(V_BSTR(key));
    calls.push_back(call);
    return call != failing;
  }

  zan::ComPtr<Scripting::IDictionary> store_;
  IUnknown* forwardTo_;
};

}  // namespace zantest
