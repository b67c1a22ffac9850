// The class object of one coclass. The module's cache holds the first
// reference; a client's reference raises the count to 2 and takes a module
// lock, which the release back to 1 gives up, so a cached class object
// alone never keeps the library loaded.
#pragma once

#include "zan_module.h"

class CComClassFactory final : public IClassFactory {
 public:
  using Creator = HRESULT (*)(IUnknown* outer, REFIID iid, void** ppv);

  explicit CComClassFactory(Creator creator) : creator_(creator) {}
  CComClassFactory(const CComClassFactory&) = delete;
  CComClassFactory& operator=(const CComClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

 private:
  ~CComClassFactory() = default;  // only Release deletes

  LONG volatile refs_ = 1;
  Creator creator_;
};
