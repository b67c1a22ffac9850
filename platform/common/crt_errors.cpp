#include <cerrno>

#include "zanole/zanole.h"

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
      {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
      {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
      {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
      {ENOSPC, ERROR_DISK_FULL},
      {EFBIG, ERROR_DISK_FULL},
#ifdef EDQUOT
      {EDQUOT, ERROR_DISK_FULL},
#endif
#ifdef ETXTBSY
      {ETXTBSY, ERROR_SHARING_VIOLATION},
#endif
      {EBUSY, ERROR_SHARING_VIOLATION},
      {EIO, ERROR_WRITE_FAULT},
      {EXDEV, ERROR_NOT_SAME_DEVICE},
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
