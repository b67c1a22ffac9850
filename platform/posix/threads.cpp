// Critical sections, interlocked counters, thread locale and timing.
#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <thread>

#include "zanole/zanole.h"

namespace {

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque));
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION));

std::recursive_mutex* MutexOf(LPCRITICAL_SECTION cs) {
  return std::launder(reinterpret_cast<std::recursive_mutex*>(cs->opaque));
}

constexpr LCID kEnglishUs = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
thread_local LCID g_threadLocale = kEnglishUs;

std::atomic<LONG>* AtomicOf(LONG volatile* p) {
  static_assert(sizeof(std::atomic<LONG>) == sizeof(LONG));
  return reinterpret_cast<std::atomic<LONG>*>(const_cast<LONG*>(p));
}

}  // namespace

extern "C" {

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) { new (cs->opaque) std::recursive_mutex(); }

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD) {
  InitializeCriticalSection(cs);
  return TRUE;
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs)->~recursive_mutex(); }
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs)->lock(); }
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs) { return MutexOf(cs)->try_lock() ? TRUE : FALSE; }
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) { MutexOf(cs)->unlock(); }

LONG WINAPI InterlockedIncrement(LONG volatile* Addend) { return AtomicOf(Addend)->fetch_add(1) + 1; }
LONG WINAPI InterlockedDecrement(LONG volatile* Addend) { return AtomicOf(Addend)->fetch_sub(1) - 1; }
LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) { return AtomicOf(Target)->exchange(Value); }
LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand) {
  AtomicOf(Destination)->compare_exchange_strong(Comparand, Exchange);
  return Comparand;
}

LCID WINAPI GetThreadLocale() { return g_threadLocale; }

BOOL WINAPI SetThreadLocale(LCID Locale) {
  if (Locale == LOCALE_SYSTEM_DEFAULT || Locale == LOCALE_USER_DEFAULT) Locale = kEnglishUs;
  if (LANGIDFROMLCID(Locale) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_threadLocale = Locale;
  return TRUE;
}

LANGID WINAPI GetSystemDefaultLangID() { return LANGIDFROMLCID(kEnglishUs); }
LANGID WINAPI GetUserDefaultLangID() { return LANGIDFROMLCID(kEnglishUs); }
LCID WINAPI GetSystemDefaultLCID() { return kEnglishUs; }
LCID WINAPI GetUserDefaultLCID() { return kEnglishUs; }

void WINAPI Sleep(DWORD dwMilliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds)); }

}  // extern "C"
