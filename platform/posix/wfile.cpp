// Whole-file operations over POSIX: fsync, rename (atomic within a
// folder) after copying the old file's permissions, and realpath.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "faults.h"
#include "utf8_text.h"
#include "zanole/zanole.h"

namespace {

bool PathOf(const WCHAR* name, std::string* path) {
  if (!name) return FailWithErrno(EINVAL);
  return zanole::Utf8FromWide(name, path) || FailWithErrno(EILSEQ);
}

// The folder's own entry must reach the disk too, or a crash can bring the
// old name back.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
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

bool WReplaceFile(const WCHAR* source, const WCHAR* target) {
  std::string from, to;
  if (!PathOf(source, &from) || !PathOf(target, &to)) return false;
  struct stat old;
  if (stat(to.c_str(), &old) == 0) {
    // A device, a pipe or a folder is not a file to be replaced.
    if (!S_ISREG(old.st_mode)) return FailWithErrno(EACCES);
    if (chmod(from.c_str(), old.st_mode & 07777) != 0) return FailWithErrno(errno);
    // The owner stays where the process may keep it; otherwise the new
    // file is the process's own, as any file it writes.
    if (chown(from.c_str(), old.st_uid, old.st_gid) != 0) errno = 0;
  }
  if (zanole::ReplaceFails()) return FailWithErrno(EXDEV);
  if (std::rename(from.c_str(), to.c_str()) != 0) return FailWithErrno(errno);
  SyncFolderOf(to);
  return true;
}

bool WRemoveFile(const WCHAR* name) {
  std::string path;
  if (!PathOf(name, &path)) return false;
  return std::remove(path.c_str()) == 0 || FailWithErrno(errno);
}

std::basic_string<WCHAR> WFinalPath(const WCHAR* name) {
  std::string path;
  if (!name || !zanole::Utf8FromWide(name, &path)) return name ? name : std::basic_string<WCHAR>();
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return name;
  std::basic_string<WCHAR> out = zanole::WideFromUtf8(resolved);
  std::free(resolved);
  return out.empty() ? std::basic_string<WCHAR>(name) : out;
}
