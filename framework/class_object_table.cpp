#include "class_object_table.h"

#include <atomic>
#include <new>

namespace {
// Outside the table, valid before its construction and after its
// destruction, so late callers get E_UNEXPECTED rather than a dead object.
std::atomic<bool> g_tableReady{false};
}  // namespace

bool CClassObjectTable::Init() noexcept {
  if (initialized_) return true;
  if (!InitializeCriticalSectionAndSpinCount(&lock_, 0)) return false;
  ZanModule();  // the module lives at least as long as the table
  initialized_ = true;
  g_tableReady = true;
  return true;
}

void CClassObjectTable::Term() noexcept {
  if (!initialized_) return;
  initialized_ = false;
  g_tableReady = false;
  for (ObjectMapEntry* e = begin_; e != end_; ++e) {
    if (IUnknown* object = e->classObject.exchange(nullptr)) object->Release();
  }
  DeleteCriticalSection(&lock_);
}

HRESULT CClassObjectTable::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept {
  if (!g_tableReady) return E_UNEXPECTED;
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ObjectMapEntry* entry = nullptr;
  for (ObjectMapEntry* e = begin_; e != end_ && !entry; ++e)
    if (e->creator && IsEqualGUID(*e->clsid, clsid)) entry = e;
  if (!entry) return CLASS_E_CLASSNOTAVAILABLE;

  HRESULT hr = S_OK;
  if (!entry->classObject.load()) {
    EnterCriticalSection(&lock_);
    if (!entry->classObject.load()) {
      auto* factory = new (std::nothrow) CComClassFactory(entry->creator);
      if (factory) {
        entry->classObject.store(factory);
      } else {
        hr = E_OUTOFMEMORY;
      }
    }
    LeaveCriticalSection(&lock_);
  }
  if (IUnknown* object = entry->classObject.load()) hr = object->QueryInterface(iid, ppv);
  if (!*ppv && hr == S_OK) hr = CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}
