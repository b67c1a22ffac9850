#include "zan_module.h"

#include "base/critical_section_lock.h"
#include "base/result_macros.h"

CZanScriptModule::CZanScriptModule() {
  initFailed_ = !InitializeCriticalSectionAndSpinCount(&criticalSection_, 0);
  initialized_ = !initFailed_;
}

HRESULT CZanScriptModule::GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept {
  if (!table) return E_POINTER;
  *table = nullptr;
  if (!initialized_) return E_UNEXPECTED;
  zan::CriticalSectionLock hold(criticalSection_);
  if (!globalInterfaceTable_) {
    IGlobalInterfaceTable* made = nullptr;
    ZAN_RETURN_IF_FAILED(
        CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made)));
    globalInterfaceTable_ = made;
  }
  globalInterfaceTable_->AddRef();
  *table = globalInterfaceTable_;
  return S_OK;
}

void CZanScriptModule::Term() noexcept {
  if (!initialized_) return;
  initialized_ = false;
  if (globalInterfaceTable_) globalInterfaceTable_->Release();
  globalInterfaceTable_ = nullptr;
  DeleteCriticalSection(&criticalSection_);
}

CZanScriptModule& ZanModule() {
  static CZanScriptModule module;
  return module;
}
