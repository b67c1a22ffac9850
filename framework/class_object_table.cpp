#include "class_object_table.h"

#include <new>

#include "base/critical_section_lock.h"
#include "base/result_macros.h"

bool CClassObjectTable::Init() noexcept {
  if (ready_) return true;
  if (!InitializeCriticalSectionAndSpinCount(&lock_, 0)) return false;
  ZanModule();  // the module lives at least as long as the table
  ready_ = true;
  return true;
}

void CClassObjectTable::Term() noexcept {
  if (!ready_.exchange(false)) return;
  for (ObjectMapEntry* e = begin_; e != end_; ++e) {
    if (IUnknown* object = e->classObject.exchange(nullptr)) object->Release();
  }
  DeleteCriticalSection(&lock_);
}

HRESULT CClassObjectTable::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept {
  if (!ready_) return E_UNEXPECTED;
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ObjectMapEntry* entry = nullptr;
  for (ObjectMapEntry* e = begin_; e != end_ && !entry; ++e)
    if (e->creator && IsEqualGUID(*e->clsid, clsid)) entry = e;
  if (!entry) return CLASS_E_CLASSNOTAVAILABLE;

  if (!entry->classObject.load()) {
    zan::CriticalSectionLock hold(lock_);
    if (!entry->classObject.load()) {
      auto* factory = new (std::nothrow) CComClassFactory(entry->creator);
      ZAN_RETURN_IF_NULL_ALLOC(factory);
      entry->classObject.store(factory);
    }
  }
  IUnknown* object = entry->classObject.load();
  if (!object) return CLASS_E_CLASSNOTAVAILABLE;  // torn down meanwhile
  HRESULT hr = object->QueryInterface(iid, ppv);
  if (!*ppv && hr == S_OK) hr = CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}
