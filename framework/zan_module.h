// The library's one process-wide state: the lock count that tells the
// platform whether the library may unload, the module critical section
// that guards lazy, shared initialisation across apartments, and the
// platform's global interface table, made on request.
#pragma once

#include <atomic>

#include "base/critical_section_lock.h"

class CZanScriptModule {
 public:
  CZanScriptModule();
  ~CZanScriptModule() { Term(); }
  CZanScriptModule(const CZanScriptModule&) = delete;
  CZanScriptModule& operator=(const CZanScriptModule&) = delete;

  // Objects on any thread lock and unlock while DllCanUnloadNow reads the
  // count on another: every access is atomic.
  LONG Lock() { return ++lockCount_; }
  LONG Unlock() { return --lockCount_; }
  LONG GetLockCount() const { return lockCount_.load(); }
  CRITICAL_SECTION& CriticalSection() { return criticalSection_; }

  // True when the critical section could not be made: the library then
  // refuses to load.
  bool InitFailed() const { return initFailed_; }
  bool Initialized() const { return initialized_; }

  // The table, made on first use and kept; each call hands out one more
  // reference. A failure to make it is returned and nothing is kept.
  HRESULT GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept;

  // Releases the table and the critical section; later calls do nothing.
  void Term() noexcept;

 private:
  std::atomic<LONG> lockCount_{0};
  CRITICAL_SECTION criticalSection_;
  IGlobalInterfaceTable* globalInterfaceTable_ = nullptr;
  bool initialized_ = false;
  bool initFailed_ = false;
};

// Constructed on first use, which the class-object table's own
// construction at library load guarantees.
CZanScriptModule& ZanModule();

// Holds the module critical section for a scope.
class ModuleCriticalSectionLock : public zan::CriticalSectionLock {
 public:
  ModuleCriticalSectionLock() noexcept : CriticalSectionLock(ZanModule().CriticalSection()) {}
};
