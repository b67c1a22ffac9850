// The one table from C library failures (errno) to Win32 error codes. Both
// targets call it wherever a stream call of the system fails, so a host
// reads the same reason through GetLastError (and HRESULT_FROM_WIN32)
// whichever platform it runs on.
#pragma once

DWORD Win32ErrorFromErrno(int error);

// Records the Win32 form of error for GetLastError; false, so a failing
// stream call reads as `return FailWithErrno(errno);`.
inline bool FailWithErrno(int error) {
  SetLastError(Win32ErrorFromErrno(error));
  return false;
}

// For calls that answer with the errno itself (_wfopen_s and the like):
// records error for GetLastError as FailWithErrno does, and gives it back.
inline int ErrnoResult(int error) {
  FailWithErrno(error);
  return error;
}
