// Scratch files, file kinds and edit holds over POSIX: mkostemp makes a
// scratch file new and private in one step; a hold is flock on the file.
#include "zanole/file_edit.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include "common/thread_holds.h"
#include "faults.h"
#include "utf8_text.h"
#include "zanole/crt_errors.h"

namespace {

// A file by its device and inode.
using Holds = zanole::ThreadHolds<std::pair<dev_t, ino_t>>;
Holds g_holds;

}  // namespace

struct WEditHold {
  int fd;
  Holds::Holder holder;
};

namespace {

// The temporary folder the environment names, if its name is UTF-8 the
// wide name can carry; else /tmp.
std::string TemporaryFolder() {
  const char* named = std::getenv("TMPDIR");
  std::string folder = named && *named ? named : "/tmp";
  std::string back;
  if (!zanole::Utf8FromWide(zanole::WideFromUtf8(folder).c_str(), &back) || back != folder) folder = "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

WFileKind WGetFileKind(const WCHAR* name) noexcept {
  std::string path;
  struct stat st;
  if (!name || !zanole::Utf8FromWide(name, &path) || stat(path.c_str(), &st) != 0) return WFileKind::kMissing;
  if (S_ISDIR(st.st_mode)) return WFileKind::kFolder;
  return S_ISREG(st.st_mode) ? WFileKind::kFile : WFileKind::kOther;
}

bool WIsSameFile(const WCHAR* first, const WCHAR* second) noexcept {
  try {
    std::string a, b;
    struct stat one, two;
    return first && second && zanole::Utf8FromWide(first, &a) && zanole::Utf8FromWide(second, &b) &&
           stat(a.c_str(), &one) == 0 && stat(b.c_str(), &two) == 0 && S_ISREG(one.st_mode) &&
           one.st_dev == two.st_dev && one.st_ino == two.st_ino;
  } catch (...) {
    return false;
  }
}

int WCreateScratchFile(FILE** file, WString* name) noexcept {
  if (!file || !name) return ErrnoResult(EINVAL);
  *file = nullptr;
  try {
    std::string path = TemporaryFolder() + ".zan-scratch-XXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return ErrnoResult(errno);
    FILE* opened = fdopen(fd, "wb");
    if (!opened) close(fd);
    // A stream the faults refuse is closed already, and its descriptor with it.
    *file = opened ? zanole::StreamWithFaults(opened, "wb") : nullptr;
    if (!*file) {
      const int error = errno;
      unlink(path.c_str());
      return ErrnoResult(error);
    }
    *name = zanole::WideFromUtf8(path);
    return 0;
  } catch (...) {
    return ErrnoResult(ENOMEM);
  }
}

int WRemoveFile(const WCHAR* name) noexcept {
  try {
    std::string path;
    if (!name || !zanole::Utf8FromWide(name, &path)) return ErrnoResult(EINVAL);
    return unlink(path.c_str()) == 0 ? 0 : ErrnoResult(errno);
  } catch (...) {
    return ErrnoResult(ENOMEM);
  }
}

WEditHold* WHoldForEdit(const WCHAR* name, bool wait) noexcept {
  try {
    std::string path;
    if (!name || !zanole::Utf8FromWide(name, &path)) return FailWithErrno(EINVAL), nullptr;
    // A save that renamed a new file over the name while this one waited
    // leaves the lock on a file the name no longer leads to: take it again.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      if (fd < 0) return FailWithErrno(errno), nullptr;
      struct stat held, named;
      if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        close(fd);
        return FailWithErrno(EINVAL), nullptr;
      }
      const Holds::Holder holder = Holds::ByThisThread({held.st_dev, held.st_ino});
      if (g_holds.Has(holder)) {
        close(fd);
        return SetLastError(ERROR_LOCK_VIOLATION), nullptr;
      }
      if (flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return SetLastError(ERROR_LOCK_VIOLATION), nullptr;
        return FailWithErrno(error), nullptr;
      }
      if (stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
        // Out of memory here, the descriptor would keep the lock for good.
        WEditHold* hold = new (std::nothrow) WEditHold{fd, holder};
        try {
          if (hold) {
            g_holds.Add(holder);
            return hold;
          }
        } catch (...) {
        }
        delete hold;
        close(fd);
        return FailWithErrno(ENOMEM), nullptr;
      }
      close(fd);
    }
    return FailWithErrno(EAGAIN), nullptr;
  } catch (...) {
    return FailWithErrno(ENOMEM), nullptr;
  }
}

void WReleaseHold(WEditHold* hold) noexcept {
  if (!hold) return;
  g_holds.Remove(hold->holder);
  close(hold->fd);
  delete hold;
}
