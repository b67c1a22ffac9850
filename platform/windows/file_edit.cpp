// Scratch files, file kinds and edit holds over the Windows CRT and
// kernel. A hold is a named mutex of the session, named for the file's
// identity (volume and file index): it keeps no handle on the file, which
// a save that renames a new file into its place would be refused over.
#define _CRT_RAND_S
#include <stdlib.h>

#include "zanole/file_edit.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <new>
#include <sys/stat.h>

#include "common/thread_holds.h"
#include "zanole/crt_errors.h"

namespace {

// A file by its mutex's name.
using Holds = zanole::ThreadHolds<WString>;
Holds g_holds;

}  // namespace

struct WEditHold {
  HANDLE mutex;
  Holds::Holder holder;
};

namespace {

// The identity of the file name leads to, as text; empty, with the reason
// recorded, when there is none or it is no file on a disk.
WString IdentityOf(const WCHAR* name) {
  const HANDLE file = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WString();
  BY_HANDLE_FILE_INFORMATION info;
  WCHAR text[64] = {};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    swprintf(text, 64, L"Local\\zan-edit-%08lx-%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh,
             info.nFileIndexLow);
  else
    SetLastError(ERROR_INVALID_PARAMETER);
  CloseHandle(file);
  return text;
}

}  // namespace

WFileKind WGetFileKind(const WCHAR* name) noexcept {
  struct _stat64 st;
  if (!name || _wstat64(name, &st) != 0) return WFileKind::kMissing;
  if ((st.st_mode & _S_IFMT) == _S_IFDIR) return WFileKind::kFolder;
  return (st.st_mode & _S_IFMT) == _S_IFREG ? WFileKind::kFile : WFileKind::kOther;
}

bool WIsSameFile(const WCHAR* first, const WCHAR* second) noexcept {
  if (!first || !second) return false;
  try {
    const WString identity = IdentityOf(first);
    return !identity.empty() && identity == IdentityOf(second);
  } catch (...) {
    return false;
  }
}

int WCreateScratchFile(FILE** file, WString* name) noexcept {
  if (!file || !name) return ErrnoResult(EINVAL);
  *file = nullptr;
  try {
    // The user's own temporary folder, whose rights a new file in it takes.
    WCHAR folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return ErrnoResult(ENOENT);
    for (int attempt = 0; attempt < 100; ++attempt) {
      unsigned int high = 0, low = 0;
      if (rand_s(&high) != 0 || rand_s(&low) != 0) return ErrnoResult(EAGAIN);
      WCHAR random[40];
      swprintf(random, 40, L".zan-scratch-%08x%08x.tmp", high, low);
      WString path = WString(folder) + random;
      const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd < 0) return ErrnoResult(errno);
      *file = _fdopen(fd, "wb");
      if (!*file) {
        const int error = errno;
        _close(fd);
        _wremove(path.c_str());
        return ErrnoResult(error);
      }
      *name = std::move(path);
      return 0;
    }
    return ErrnoResult(EEXIST);
  } catch (...) {
    return ErrnoResult(ENOMEM);
  }
}

int WRemoveFile(const WCHAR* name) noexcept {
  if (!name) return ErrnoResult(EINVAL);
  return _wremove(name) == 0 ? 0 : ErrnoResult(errno);
}

WEditHold* WHoldForEdit(const WCHAR* name, bool wait) noexcept {
  if (!name) return FailWithErrno(EINVAL), nullptr;
  try {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const WString identity = IdentityOf(name);
      if (identity.empty()) return nullptr;
      const Holds::Holder holder = Holds::ByThisThread(identity);
      if (g_holds.Has(holder)) return SetLastError(ERROR_LOCK_VIOLATION), nullptr;
      const HANDLE mutex = CreateMutexW(nullptr, FALSE, identity.c_str());
      if (!mutex) return nullptr;
      // An editor that ended without letting go leaves the mutex abandoned,
      // and the file free.
      const DWORD waited = WaitForSingleObject(mutex, wait ? INFINITE : 0);
      if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const DWORD error = waited == WAIT_TIMEOUT ? ERROR_LOCK_VIOLATION : GetLastError();
        CloseHandle(mutex);
        return SetLastError(error), nullptr;
      }
      // A save that put a new file in the name's place while this one
      // waited leaves the mutex of a file the name no longer leads to.
      const bool same = IdentityOf(name) == identity;
      if (WEditHold* hold = same ? new (std::nothrow) WEditHold{mutex, holder} : nullptr) {
        try {
          g_holds.Add(hold->holder);
          return hold;
        } catch (...) {
          delete hold;
        }
      }
      ReleaseMutex(mutex);
      CloseHandle(mutex);
      if (same) return SetLastError(ERROR_NOT_ENOUGH_MEMORY), nullptr;
    }
    return FailWithErrno(EAGAIN), nullptr;
  } catch (...) {
    return SetLastError(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  }
}

void WReleaseHold(WEditHold* hold) noexcept {
  if (!hold) return;
  g_holds.Remove(hold->holder);
  ReleaseMutex(hold->mutex);
  CloseHandle(hold->mutex);
  delete hold;
}
