#include "errors.h"

#include <cerrno>

namespace {
thread_local DWORD g_lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError() { return g_lastError; }
extern "C" void WINAPI SetLastError(DWORD dwErrCode) { g_lastError = dwErrCode; }

namespace zanole {

DWORD Win32ErrorFromErrno(int error) {
  struct Entry {
    int errnoValue;
    DWORD win32;
  };
  static constexpr Entry kTable[] = {
      {0, ERROR_SUCCESS},
      {ENOENT, ERROR_FILE_NOT_FOUND},
      {ENOTDIR, ERROR_PATH_NOT_FOUND},
      {EACCES, ERROR_ACCESS_DENIED},
      {EPERM, ERROR_ACCESS_DENIED},
      {EROFS, ERROR_ACCESS_DENIED},
      {EISDIR, ERROR_ACCESS_DENIED},
      {EBADF, ERROR_INVALID_HANDLE},
      {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
      {EEXIST, ERROR_FILE_EXISTS},
      {EINVAL, ERROR_INVALID_PARAMETER},
      {ENAMETOOLONG, ERROR_INVALID_NAME},
      {ERANGE, ERROR_INSUFFICIENT_BUFFER},
      {EILSEQ, ERROR_NO_UNICODE_TRANSLATION},
  };
  for (const Entry& e : kTable) {
    if (e.errnoValue == error) return e.win32;
  }
  return ERROR_INVALID_PARAMETER;
}

}  // namespace zanole
