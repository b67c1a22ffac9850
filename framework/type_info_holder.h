// IDispatch support from the registered type library: the type information
// of one interface, loaded on first use under the module critical section
// and shared by every object of the class.
#pragma once

#include <atomic>

#include "zan_module.h"

class CComTypeInfoHolder {
 public:
  CComTypeInfoHolder(const IID& iid, const GUID& libid, WORD major, WORD minor)
      : iid_(iid), libid_(libid), major_(major), minor_(minor) {}
  ~CComTypeInfoHolder();
  CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
  CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept;
  HRESULT Invoke(IDispatch* self, DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

 private:
  HRESULT Load(LCID lcid) noexcept;

  const IID& iid_;
  const GUID& libid_;
  WORD major_, minor_;
  std::atomic<ITypeInfo*> info_{nullptr};
};
