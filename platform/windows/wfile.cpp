// Whole-file operations over the Windows CRT and kernel: _commit, and saves
// that keep the file's identity. A file with one link is replaced by a new
// file made beside it with its security and attributes (ReplaceFileW keeps
// the rest; the attributes are carried again, since Wine drops some); a
// file with several links is rewritten in place, its old bytes written
// back should any step fail.
#define _CRT_RAND_S
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <stdio.h>
#include <string>
#include <utility>
#include <vector>

#include "zanole/zanole.h"

namespace {

// What a new file takes over from the one it replaces.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Keeps GetLastError across calls that clean up.
class KeptError {
 public:
  KeptError() : error_(GetLastError()) {}
  ~KeptError() { SetLastError(error_); }
  KeptError(const KeptError&) = delete;
  KeptError& operator=(const KeptError&) = delete;

 private:
  DWORD error_;
};

}  // namespace

struct WFileSave {
  std::wstring target;
  std::wstring temporary;                     // the new file beside it; empty when rewriting in place
  DWORD attributes = INVALID_FILE_ATTRIBUTES;  // the target's; none for a new file
  HANDLE file = INVALID_HANDLE_VALUE;         // in place: the target
  std::string old;                            // in place: its bytes before the save
  FILE* stream = nullptr;

  WFileSave() = default;
  WFileSave(const WFileSave&) = delete;
  WFileSave& operator=(const WFileSave&) = delete;
  ~WFileSave() {
    KeptError kept;
    if (stream) fclose(stream);
    if (!temporary.empty()) DeleteFileW(temporary.c_str());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

namespace {

// A stream over handle, which it then owns; null with the reason recorded.
FILE* StreamOver(HANDLE handle, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    FailWithErrno(EMFILE);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, mode);
  if (!stream) {
    const int error = errno;
    _close(fd);
    FailWithErrno(error);
  }
  return stream;
}

// The new file beside the target, created exclusively under a name no
// other user can guess, with the target's security and attributes from
// the start. INVALID_HANDLE_VALUE with the kernel's reason.
HANDLE CreateBeside(WFileSave* save) {
  std::vector<BYTE> security;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  DWORD needed = 0;
  if (save->attributes != INVALID_FILE_ATTRIBUTES &&
      !GetFileSecurityW(save->target.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed) && needed > 0) {
    security.resize(needed);
    if (GetFileSecurityW(save->target.c_str(), DACL_SECURITY_INFORMATION, security.data(), needed, &needed))
      attributes.lpSecurityDescriptor = security.data();
  }
  DWORD flags = save->attributes == INVALID_FILE_ATTRIBUTES ? 0 : save->attributes & kCarriedAttributes;
  if (flags == 0) flags = FILE_ATTRIBUTE_NORMAL;
  for (int attempt = 0; attempt < 64; ++attempt) {
    unsigned high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
    }
    wchar_t suffix[32];
    swprintf(suffix, 32, L".zan-save-%08x%08x", high, low);
    save->temporary = save->target + suffix;
    const HANDLE file = CreateFileW(save->temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &attributes,
                                    CREATE_NEW, flags, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    save->temporary.clear();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

HANDLE OpenTarget(const std::wstring& target) {
  // Sharing only reading: a file another holds open for writing is refused.
  return CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadAll(HANDLE file, std::string* bytes) {
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) return false;
    if (n == 0) break;
    bytes->append(buffer, n);
  }
  LARGE_INTEGER start = {};
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0;
}

bool TruncateAt(HANDLE file, LONGLONG size) {
  LARGE_INTEGER at;
  at.QuadPart = size;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file) && FlushFileBuffers(file);
}

// Puts the old bytes back in the target rewritten in place, over the
// blocks they held before.
void WriteBack(WFileSave* save) {
  KeptError kept;
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(save->file, start, nullptr, FILE_BEGIN)) return;
  for (size_t done = 0; done < save->old.size();) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(save->old.size() - done, 1u << 20));
    if (!WriteFile(save->file, save->old.data() + done, chunk, &n, nullptr) || n == 0) return;
    done += n;
  }
  TruncateAt(save->file, static_cast<LONGLONG>(save->old.size()));
}

WFileSave* Begin(const WCHAR* name) {
  if (!name) return FailWithErrno(EINVAL), nullptr;
  auto save = std::make_unique<WFileSave>();
  save->target = name;
  save->attributes = GetFileAttributesW(name);
  if (save->attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return nullptr;
  } else if (save->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) {
    // Windows refuses to write a read-only file even to administrators;
    // Wine running as root would not, so this is checked here.
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const bool exists = save->attributes != INVALID_FILE_ATTRIBUTES;
  bool oneLink = true;
  if (exists) {
    // The target must take writes as it stands, whichever way it is saved.
    save->file = OpenTarget(save->target);
    if (save->file == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(save->file, &info)) return nullptr;
    oneLink = info.nNumberOfLinks <= 1;
    if (oneLink) CloseHandle(std::exchange(save->file, INVALID_HANDLE_VALUE));
  }
  if (oneLink) {
    const HANDLE file = CreateBeside(save.get());
    if (file != INVALID_HANDLE_VALUE) {
      save->stream = StreamOver(file, "w+b");
      return save->stream ? save.release() : nullptr;
    }
    // A folder that takes no new file still lets a file in it be rewritten.
    if (!exists || GetLastError() != ERROR_ACCESS_DENIED) return nullptr;
    save->file = OpenTarget(save->target);
    if (save->file == INVALID_HANDLE_VALUE) return nullptr;
  }
  if (!ReadAll(save->file, &save->old)) return nullptr;
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), save->file, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return nullptr;
  save->stream = StreamOver(copy, "r+b");
  return save->stream ? save.release() : nullptr;
}

// A handle another program has on the target for a moment (an editor
// asking which file it is before it waits its turn, an indexer) refuses
// its replacement: that is tried again for a while before the save fails.
bool Replace(const WFileSave* save, bool exists) {
  for (int attempt = 0;; ++attempt) {
    if ((exists && ReplaceFileW(save->target.c_str(), save->temporary.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) ||
        MoveFileExW(save->temporary.c_str(), save->target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
        (save->attributes & FILE_ATTRIBUTE_READONLY) || attempt == 50)
      return false;
    Sleep(10);
  }
}

bool Commit(WFileSave* save) {
  FILE* stream = std::exchange(save->stream, nullptr);
  bool ok = FFlushToDisk(stream);
  const LONGLONG size = ok && save->temporary.empty() ? _telli64(_fileno(stream)) : -1;
  if (ok && save->temporary.empty() && size < 0) ok = FailWithErrno(errno);
  if (fclose(stream) != 0 && ok) ok = FailWithErrno(errno);
  if (!ok) return false;
  if (save->temporary.empty()) return TruncateAt(save->file, size);
  const bool exists = save->attributes != INVALID_FILE_ATTRIBUTES;
  if (!Replace(save, exists)) return false;
  save->temporary.clear();
  if (exists) {
    KeptError kept;
    SetFileAttributesW(save->target.c_str(), (save->attributes & kCarriedAttributes) | FILE_ATTRIBUTE_NORMAL);
  }
  return true;
}

}  // namespace

bool FFlushToDisk(FILE* file) {
  if (!file) return FailWithErrno(EINVAL);
  if (fflush(file) != 0) return FailWithErrno(errno);
  // A write the stream took but could not pass on is remembered only here.
  if (ferror(file)) return FailWithErrno(EIO);
  return _commit(_fileno(file)) == 0 || FailWithErrno(errno);
}

WFileSave* WBeginSave(const WCHAR* name) noexcept {
  try {
    return Begin(name);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
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
  KeptError kept;
  // A stream still open may pass on what it buffered: the write-back comes after.
  if (save->stream) fclose(std::exchange(save->stream, nullptr));
  if (save->file != INVALID_HANDLE_VALUE && save->temporary.empty()) WriteBack(save);
  delete save;
}
