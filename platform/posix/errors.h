// The one place where C library failures become Win32 error codes.
#pragma once

#include "zanole/zanole.h"

namespace zanole {

DWORD Win32ErrorFromErrno(int error);

// Records a Win32 error for GetLastError and returns value, so failing
// calls read as `return Fail(ERROR_X, 0);`.
template <typename T>
T Fail(DWORD error, T value) {
  SetLastError(error);
  return value;
}

}  // namespace zanole
