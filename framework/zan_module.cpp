#include "zan_module.h"

CZanScriptModule::CZanScriptModule() { InitializeCriticalSection(&criticalSection_); }

CZanScriptModule::~CZanScriptModule() { DeleteCriticalSection(&criticalSection_); }

CZanScriptModule& ZanModule() {
  static CZanScriptModule module;
  return module;
}
