// Whole-file operations over POSIX: fsync, and saves that keep the file's
// identity (a new file renamed over the old when that keeps owner, group,
// mode and links; otherwise the old file rewritten in place, with its old
// bytes written back on failure).
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "faults.h"
#include "utf8_text.h"
#include "zanole/zanole.h"

struct WFileSave {
  std::string target;     // the file the name leads to
  std::string folder;     // the target's, whose entry the rename changes
  std::string temporary;  // the new file beside it; empty when rewriting in place
  int fd = -1;            // in place: the target, for the truncation and the write-back
  std::string old;        // in place: the target's bytes before the save
  FILE* stream = nullptr;

  WFileSave() = default;
  WFileSave(const WFileSave&) = delete;
  WFileSave& operator=(const WFileSave&) = delete;
  // Whatever the save left open or beside the target goes; the calls
  // leave GetLastError alone.
  ~WFileSave() {
    if (stream) std::fclose(stream);
    if (!temporary.empty()) unlink(temporary.c_str());
    if (fd >= 0) close(fd);
  }
};

namespace {

bool PathOf(const WCHAR* name, std::string* path) {
  if (!name) return FailWithErrno(EINVAL);
  return zanole::Utf8FromWide(name, path) || FailWithErrno(EILSEQ);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The folder's own entry must reach the disk too, or a crash can bring the
// old name back.
void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Follows symbolic links to the file at their end, which may not exist yet.
bool FinalPath(std::string path, std::string* out) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *out = std::move(path);
      return true;
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), &link[0], link.size());
    if (n < 0) return FailWithErrno(errno);
    link.resize(static_cast<size_t>(n));
    if (link.empty() || link[0] != '/') link = FolderOf(path) + "/" + link;
    path = std::move(link);
  }
  return FailWithErrno(ELOOP);
}

// Whether a new file renamed over target changes nothing a user sees: one
// name, and an owner the process can give the new file (the group is
// proved when the new file takes it).
bool RenameKeepsIdentity(const struct stat& target) {
  return target.st_nlink == 1 && (geteuid() == 0 || target.st_uid == geteuid());
}

// Creates the new file beside target, exclusively and without following a
// link, under a name no other user can guess, with target's owner, group
// and permissions before anything is written (st null: a new target, the
// process's own file). -1 with errno set when that cannot be done.
int CreateBeside(WFileSave* save, const struct stat* st) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return -1;
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".zan-save-%016llx", static_cast<unsigned long long>(random));
    save->temporary = save->target + suffix;
    const int fd = open(save->temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        st ? st->st_mode & 0600 : 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0 || !st) {
      if (fd < 0) save->temporary.clear();
      return fd;
    }
    struct stat created;
    if (fstat(fd, &created) == 0 &&
        ((created.st_uid == st->st_uid && created.st_gid == st->st_gid) ||
         fchown(fd, st->st_uid, st->st_gid) == 0) &&
        fchmod(fd, st->st_mode & 07777) == 0)
      return fd;
    // The owner or group cannot be kept: the folder is no place for it.
    close(fd);
    unlink(save->temporary.c_str());
    save->temporary.clear();
    errno = EPERM;
    return -1;
  }
  errno = EEXIST;
  return -1;
}

bool ReadAll(int fd, std::string* bytes) {
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailWithErrno(errno);
    if (n == 0) return true;
    bytes->append(buffer, static_cast<size_t>(n));
    at += n;
  }
}

// Puts the old bytes back in the target rewritten in place. The blocks
// they take were the file's before the save, so even a full disk takes
// them back.
void WriteBack(WFileSave* save) {
  const DWORD reason = GetLastError();
  const std::string& old = save->old;
  for (size_t done = 0; done < old.size();) {
    const ssize_t n = pwrite(save->fd, old.data() + done, old.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (ftruncate(save->fd, static_cast<off_t>(old.size())) == 0) fsync(save->fd);
  SetLastError(reason);
}

WFileSave* Begin(const WCHAR* name) {
  std::string path;
  if (!PathOf(name, &path)) return nullptr;
  auto save = std::make_unique<WFileSave>();
  if (!FinalPath(std::move(path), &save->target)) return nullptr;
  save->folder = FolderOf(save->target);
  struct stat st;
  bool exists = false;
  // The target must take writes as it stands, whichever way it is saved.
  save->fd = open(save->target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (save->fd >= 0) {
    if (fstat(save->fd, &st) != 0) return FailWithErrno(errno), nullptr;
    // A device, a pipe or a folder is not a file to be saved.
    if (!S_ISREG(st.st_mode)) return FailWithErrno(EACCES), nullptr;
    exists = true;
  } else if (errno != ENOENT) {
    return FailWithErrno(errno), nullptr;
  }
  if (!exists || RenameKeepsIdentity(st)) {
    const int fd = CreateBeside(save.get(), exists ? &st : nullptr);
    if (fd >= 0) {
      FILE* file = fdopen(fd, "w+b");
      if (!file) {
        const int error = errno;
        close(fd);
        return FailWithErrno(error), nullptr;
      }
      save->stream = zanole::StreamWithFaults(file, "w+b");
      if (!save->stream) return FailWithErrno(errno), nullptr;
      if (save->fd >= 0) close(std::exchange(save->fd, -1));
      return save.release();
    }
    // A folder that takes no new file still lets a file in it be rewritten.
    if (!exists || (errno != EACCES && errno != EPERM)) return FailWithErrno(errno), nullptr;
  }
  if (!ReadAll(save->fd, &save->old)) return nullptr;
  const int fd = dup(save->fd);
  FILE* file = fd >= 0 ? fdopen(fd, "r+b") : nullptr;
  if (!file) {
    const int error = errno;
    if (fd >= 0) close(fd);
    return FailWithErrno(error), nullptr;
  }
  save->stream = zanole::StreamWithFaults(file, "w+b");
  if (!save->stream) return FailWithErrno(errno), nullptr;
  return save.release();
}

// Allocates nothing: the save's strings were made when it began.
bool Commit(WFileSave* save) {
  FILE* stream = std::exchange(save->stream, nullptr);
  bool ok = FFlushToDisk(stream);
  off_t size = -1;
  if (ok && save->temporary.empty()) {
    const int fd = zanole::DescriptorToSync(stream);
    size = fd >= 0 ? lseek(fd, 0, SEEK_CUR) : -1;
    ok = size >= 0 || FailWithErrno(errno);
  }
  if (std::fclose(stream) != 0 && ok) ok = FailWithErrno(errno);
  if (!ok) return false;
  if (!save->temporary.empty()) {
    if (zanole::ReplaceFails()) return FailWithErrno(EXDEV);
    if (std::rename(save->temporary.c_str(), save->target.c_str()) != 0) return FailWithErrno(errno);
    save->temporary.clear();
    SyncFolder(save->folder);
    return true;
  }
  if (zanole::ReplaceFails()) return FailWithErrno(EIO);
  if (ftruncate(save->fd, size) != 0 || fsync(save->fd) != 0) return FailWithErrno(errno);
  return true;
}

}  // namespace

bool FFlushToDisk(FILE* file) {
  if (!file) return FailWithErrno(EINVAL);
  if (std::fflush(file) != 0) return FailWithErrno(errno);
  // A write the stream took but could not pass on is remembered only here.
  if (std::ferror(file)) return FailWithErrno(EIO);
  const int fd = zanole::DescriptorToSync(file);
  return (fd >= 0 && fsync(fd) == 0) || FailWithErrno(errno);
}

WFileSave* WBeginSave(const WCHAR* name) noexcept {
  try {
    return Begin(name);
  } catch (...) {
    FailWithErrno(ENOMEM);
    return nullptr;
  }
}

FILE* WSaveStream(WFileSave* save) noexcept { return save ? save->stream : nullptr; }

bool WCommitSave(WFileSave* save) noexcept {
  if (!save) return FailWithErrno(EINVAL);
  if (!Commit(save)) {
    WAbandonSave(save);
    return false;
  }
  delete save;
  return true;
}

void WAbandonSave(WFileSave* save) noexcept {
  if (!save) return;
  const DWORD reason = GetLastError();
  // A stream still open may pass on what it buffered: the write-back comes after.
  if (save->stream) std::fclose(std::exchange(save->stream, nullptr));
  if (save->fd >= 0 && save->temporary.empty()) WriteBack(save);
  delete save;
  SetLastError(reason);
}
