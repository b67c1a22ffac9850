// The library's one process-wide state: the lock count that tells the
// platform whether the library may unload, and the module critical section
// that guards lazy, shared initialisation across apartments.
#pragma once

#include "zanole/zanole.h"

class CZanScriptModule {
 public:
  CZanScriptModule();
  ~CZanScriptModule();
  CZanScriptModule(const CZanScriptModule&) = delete;
  CZanScriptModule& operator=(const CZanScriptModule&) = delete;

  LONG Lock() { return InterlockedIncrement(&lockCount_); }
  LONG Unlock() { return InterlockedDecrement(&lockCount_); }
  LONG GetLockCount() const { return lockCount_; }
  CRITICAL_SECTION& CriticalSection() { return criticalSection_; }

 private:
  LONG volatile lockCount_ = 0;
  CRITICAL_SECTION criticalSection_;
};

// Constructed on first use, which the class-object table's own
// construction at library load guarantees.
CZanScriptModule& ZanModule();

// Holds the module critical section for a scope.
class ModuleCriticalSectionLock {
 public:
  ModuleCriticalSectionLock() { EnterCriticalSection(&ZanModule().CriticalSection()); }
  ~ModuleCriticalSectionLock() { LeaveCriticalSection(&ZanModule().CriticalSection()); }
  ModuleCriticalSectionLock(const ModuleCriticalSectionLock&) = delete;
  ModuleCriticalSectionLock& operator=(const ModuleCriticalSectionLock&) = delete;
};
