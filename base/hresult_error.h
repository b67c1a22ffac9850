// Failures that travel inside the system as exceptions and leave every
// interface method as an HRESULT, mapped in one place.
#pragma once

#include <exception>

#include "result_macros.h"

namespace zan {

class HResultError : public std::exception {
 public:
  explicit HResultError(HRESULT hr) noexcept : hr_(hr) {}
  HRESULT hr() const noexcept { return hr_; }
  const char* what() const noexcept override { return "HRESULT failure"; }

 private:
  HRESULT hr_;
};

[[noreturn]] inline void ThrowHr(HRESULT hr) { throw HResultError(hr); }

inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) ThrowHr(hr);
}

// For use inside catch (...): the HRESULT the caught exception stands for.
HRESULT HResultFromCaught() noexcept;

// The HRESULT of the reason the last failing call recorded for
// GetLastError (not found, access denied, disk full, ...); E_FAIL when it
// recorded none.
inline HRESULT HResultFromLastError() noexcept {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace zan

// The one catch form of an interface method that can throw inside:
//   try { ... } ZAN_CATCH_RETURN()
// Every exception leaves as the HRESULT it stands for, reported where it
// was caught.
#define ZAN_CATCH_RETURN()                                                  \
  catch (...) {                                                             \
    return ::zan::ReportFailure(__FILE__, __LINE__, ::zan::HResultFromCaught()); \
  }
