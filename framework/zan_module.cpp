#include "zan_module.h"

CZanScriptModule::CZanScriptModule() {
  initFailed_ = !InitializeCriticalSectionAndSpinCount(&criticalSection_, 0);
  initialized_ = !initFailed_;
}

HRESULT CZanScriptModule::GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept {
  if (!table) return E_POINTER;
  *table = nullptr;
  if (!initialized_) return E_UNEXPECTED;
  HRESULT hr = S_OK;
  EnterCriticalSection(&criticalSection_);
  if (!globalInterfaceTable_) {
    hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&globalInterfaceTable_));
    if (FAILED(hr)) globalInterfaceTable_ = nullptr;
  }
  if (globalInterfaceTable_) {
    globalInterfaceTable_->AddRef();
    *table = globalInterfaceTable_;
  }
  LeaveCriticalSection(&criticalSection_);
  return hr;
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
