// Failures that travel inside the system as exceptions and leave every
// interface method as an HRESULT, mapped in one place.
#pragma once

#include <exception>

#include "zanole/zanole.h"

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

}  // namespace zan

// The one catch form of an interface method that can throw inside:
//   try { ... } ZAN_CATCH_RETURN()
// Every exception leaves as the HRESULT it stands for.
#define ZAN_CATCH_RETURN() \
  catch (...) {            \
    return ::zan::HResultFromCaught(); \
  }
