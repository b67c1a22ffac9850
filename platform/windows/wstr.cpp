// The Windows CRT already has these for wchar_t, which is WCHAR here.
#include <cerrno>
#include <cwctype>
#include <stdio.h>
#include <wchar.h>

#include "zanole/zanole.h"

bool IsWSpace(WCHAR c) { return iswspace(c) != 0; }

int VSWPrintfCount(const WCHAR* fmt, va_list args) {
  if (!fmt) return -1;
  return _vscwprintf(fmt, args);
}

int VSWPrintf(WCHAR* buf, size_t count, const WCHAR* fmt, va_list args) {
  if (!buf || count == 0 || !fmt) return -1;
  va_list copy;
  va_copy(copy, args);
  int needed = _vscwprintf(fmt, copy);
  va_end(copy);
  if (needed < 0 || static_cast<size_t>(needed) >= count) {
    buf[0] = 0;
    return -1;
  }
  return _vsnwprintf(buf, count, fmt, args);
}

int WFOpen(FILE** file, const WCHAR* name, const WCHAR* mode) {
  if (!file) return ErrnoResult(EINVAL);
  *file = nullptr;
  if (!name || !mode) return ErrnoResult(EINVAL);
  *file = _wfopen(name, mode);
  return *file ? 0 : ErrnoResult(errno);
}
