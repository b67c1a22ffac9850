#include "type_info_holder.h"

#include "base/com_ptr.h"
#include "base/result_macros.h"

CComTypeInfoHolder::~CComTypeInfoHolder() {
  if (ITypeInfo* info = info_.load()) info->Release();
}

HRESULT CComTypeInfoHolder::Load(LCID lcid) noexcept {
  if (info_.load()) return S_OK;
  ModuleCriticalSectionLock hold;
  if (info_.load()) return S_OK;
  zan::ComPtr<ITypeLib> library;
  ZAN_RETURN_IF_FAILED(LoadRegTypeLib(libid_, major_, minor_, lcid, library.put()));
  ITypeInfo* info = nullptr;
  ZAN_RETURN_IF_FAILED(library->GetTypeInfoOfGuid(iid_, &info));
  info_.store(info);
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ZAN_RETURN_IF_FAILED(Load(lcid));
  *info = info_.load();
  (*info)->AddRef();
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept {
  ZAN_RETURN_IF_FAILED(Load(lcid));
  return info_.load()->GetIDsOfNames(names, count, ids);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* self, DISPID member, REFIID, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argError) noexcept {
  ZAN_RETURN_IF_FAILED(Load(lcid));
  return info_.load()->Invoke(self, member, flags, params, result, exception, argError);
}
