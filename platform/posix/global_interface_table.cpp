// The standard global interface table. Every apartment of this platform
// lives in one process without marshalling, so the table keeps the
// interface pointer itself and hands out references to it.
#include <map>
#include <mutex>

#include "zanole/zanole.h"

namespace zanole {
namespace {

class GlobalInterfaceTable final : public IGlobalInterfaceTable {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IGlobalInterfaceTable)) return E_NOINTERFACE;
    *ppv = static_cast<IGlobalInterfaceTable*>(this);
    return S_OK;
  }
  // One table for the life of the process.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override {
    if (!pUnk || !pdwCookie) return E_INVALIDARG;
    *pdwCookie = 0;
    IUnknown* held = nullptr;
    HRESULT hr = pUnk->QueryInterface(riid, reinterpret_cast<void**>(&held));
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> hold(lock_);
    *pdwCookie = next_++;
    entries_[*pdwCookie] = held;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) override {
    IUnknown* held = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = entries_.find(dwCookie);
      if (it == entries_.end()) return E_INVALIDARG;
      held = it->second;
      entries_.erase(it);
    }
    held->Release();  // outside the lock: the object may call back
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    IUnknown* held = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = entries_.find(dwCookie);
      if (it == entries_.end()) return E_INVALIDARG;
      held = it->second;
      held->AddRef();
    }
    HRESULT hr = held->QueryInterface(riid, ppv);
    held->Release();
    return hr;
  }

 private:
  std::mutex lock_;
  std::map<DWORD, IUnknown*> entries_;
  DWORD next_ = 0x100;
};

}  // namespace

IGlobalInterfaceTable* TheGlobalInterfaceTable() {
  static auto* table = new GlobalInterfaceTable();
  return table;
}

}  // namespace zanole
