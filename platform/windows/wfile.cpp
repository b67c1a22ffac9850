// Whole-file operations over the Windows CRT and kernel: _commit, and
// ReplaceFileW (which keeps the old file's attributes and security) or, for
// a target that does not exist yet, MoveFileExW with write-through.
#include <cerrno>
#include <io.h>
#include <stdio.h>

#include "zanole/zanole.h"

bool FFlushToDisk(FILE* file) {
  if (!file) return FailWithErrno(EINVAL);
  if (fflush(file) != 0) return FailWithErrno(errno);
  // A write the stream took but could not pass on is remembered only here.
  if (ferror(file)) return FailWithErrno(EIO);
  return _commit(_fileno(file)) == 0 || FailWithErrno(errno);
}

bool WReplaceFile(const WCHAR* source, const WCHAR* target) {
  if (!source || !target) return FailWithErrno(EINVAL);
  if (GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES &&
      ReplaceFileW(target, source, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
    return true;
  // The kernel has recorded its own reason if this fails too.
  return MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool WRemoveFile(const WCHAR* name) {
  if (!name) return FailWithErrno(EINVAL);
  return _wremove(name) == 0 || FailWithErrno(errno);
}

// Windows resolves links when the file is opened and replaced; the name
// serves as it is.
std::basic_string<WCHAR> WFinalPath(const WCHAR* name) { return name ? name : std::basic_string<WCHAR>(); }
