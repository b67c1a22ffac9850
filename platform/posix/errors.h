// Failing calls of the Linux platform record their Win32 error here (the
// errno table itself is common to both targets: zanole/crt_errors.h).
#pragma once

#include "zanole/zanole.h"

namespace zanole {

// Records a Win32 error for GetLastError and returns value, so failing
// calls read as `return Fail(ERROR_X, 0);`.
template <typename T>
T Fail(DWORD error, T value) {
  SetLastError(error);
  return value;
}

// The platform's functions are called as C and never throw: body runs
// under this guard, which answers outOfMemory when a container of ours
// cannot grow.
template <typename R, typename Body>
R NoThrow(R outOfMemory, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return outOfMemory;
  }
}

}  // namespace zanole
