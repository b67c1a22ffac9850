// Fault injection for the system's tests: the k-th allocation from now, or
// one step of writing or reading a file, fails as on a machine out of
// memory or a damaged or full disk. Nothing is armed unless a test asks.
#include "faults.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "zanole/zanole.h"

namespace {

std::atomic<LONG> g_allocationsLeft{-1};
std::atomic<bool> g_allocationFired{false};

std::mutex g_fileLock;
ZanFileFault g_fileFault = ZAN_FAULT_NONE;
long long g_faultOffset = 0;
std::atomic<bool> g_fileFired{false};

// A file opened under a fault: the real stream, unbuffered, behind a
// cookie stream that fails at the armed step.
struct FaultyFile {
  FILE* real;
  ZanFileFault fault;
  long long offset;
  long long position = 0;
};
std::map<FILE*, FaultyFile*> g_faulty;

// Called with g_fileLock held, or from a stream's own calls outside it.
void Fired() { g_fileFired = true; }

ssize_t Read(void* cookie, char* buffer, size_t size) {
  auto* f = static_cast<FaultyFile*>(cookie);
  if (f->fault == ZAN_FAULT_READ_ERROR && f->position + static_cast<long long>(size) > f->offset) {
    size_t before = f->offset > f->position ? static_cast<size_t>(f->offset - f->position) : 0;
    if (before == 0) {
      Fired();
      errno = EIO;
      return -1;
    }
    size = before;
  }
  size_t n = std::fread(buffer, 1, size, f->real);
  f->position += static_cast<long long>(n);
  return std::ferror(f->real) ? -1 : static_cast<ssize_t>(n);
}

ssize_t Write(void* cookie, const char* buffer, size_t size) {
  auto* f = static_cast<FaultyFile*>(cookie);
  size_t allowed = size;
  if ((f->fault == ZAN_FAULT_DEVICE_FULL || f->fault == ZAN_FAULT_WRITE_ERROR) &&
      f->position + static_cast<long long>(size) > f->offset) {
    allowed = f->offset > f->position ? static_cast<size_t>(f->offset - f->position) : 0;
    // A full device takes what fits and then refuses; a failing one refuses the whole request.
    if (f->fault == ZAN_FAULT_WRITE_ERROR) allowed = 0;
  }
  size_t n = allowed ? std::fwrite(buffer, 1, allowed, f->real) : 0;
  f->position += static_cast<long long>(n);
  if (allowed < size) {
    // A cut write is the fault met, as much as a refused one. It answers
    // what it wrote, as a file does: a -1 here would make glibc's fwrite
    // report the whole request written.
    Fired();
    errno = f->fault == ZAN_FAULT_DEVICE_FULL ? ENOSPC : EIO;
  }
  return static_cast<ssize_t>(n);
}

int Seek(void* cookie, off64_t* offset, int whence) {
  auto* f = static_cast<FaultyFile*>(cookie);
  if (fseeko(f->real, *offset, whence) != 0) return -1;
  *offset = ftello(f->real);
  f->position = *offset;
  return 0;
}

int Close(void* cookie) {
  auto* f = static_cast<FaultyFile*>(cookie);
  {
    std::lock_guard<std::mutex> hold(g_fileLock);
    for (auto it = g_faulty.begin(); it != g_faulty.end(); ++it) {
      if (it->second == f) {
        g_faulty.erase(it);
        break;
      }
    }
  }
  int result = std::fclose(f->real);
  if (f->fault == ZAN_FAULT_CLOSE) {
    Fired();
    errno = EIO;
    result = -1;
  }
  delete f;
  return result;
}

}  // namespace

namespace zanole {

bool AllocationMayProceed() {
  if (g_allocationsLeft.load(std::memory_order_relaxed) < 0) return true;
  if (g_allocationsLeft.fetch_sub(1) != 0) return true;
  g_allocationFired = true;
  return false;
}

FILE* StreamWithFaults(FILE* file, const char* mode) {
  std::lock_guard<std::mutex> hold(g_fileLock);
  const ZanFileFault fault = g_fileFault;
  if (!file || fault == ZAN_FAULT_NONE || fault == ZAN_FAULT_REPLACE) return file;
  const bool writing = std::strpbrk(mode, "wa") != nullptr;
  const bool reading = mode[0] == 'r' && !std::strchr(mode, '+');
  if (fault == ZAN_FAULT_READ_ERROR ? !reading : !writing) return file;
  g_fileFault = ZAN_FAULT_NONE;  // one file only
  if (fault == ZAN_FAULT_OPEN) {
    Fired();
    std::fclose(file);
    errno = writing ? ENOSPC : EIO;
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  auto* f = new FaultyFile{file, fault, g_faultOffset};
  cookie_io_functions_t io{Read, Write, Seek, Close};
  FILE* stream = fopencookie(f, writing ? "w+" : "r", io);
  if (!stream) {
    delete f;
    return file;
  }
  // Unbuffered, so that the fault meets the very call that crosses it.
  std::setvbuf(stream, nullptr, _IONBF, 0);
  g_faulty[stream] = f;
  return stream;
}

int DescriptorToSync(FILE* stream) {
  std::lock_guard<std::mutex> hold(g_fileLock);
  auto it = g_faulty.find(stream);
  if (it == g_faulty.end()) return fileno(stream);
  FaultyFile* f = it->second;
  if (f->fault == ZAN_FAULT_SYNC) {
    Fired();
    errno = EIO;
    return -1;
  }
  return fileno(f->real);
}

bool ReplaceFails() {
  std::lock_guard<std::mutex> hold(g_fileLock);
  if (g_fileFault != ZAN_FAULT_REPLACE) return false;
  g_fileFault = ZAN_FAULT_NONE;
  Fired();
  return true;
}

}  // namespace zanole

extern "C" {

void WINAPI ZanInjectAllocationFault(LONG n) {
  g_allocationFired = false;
  g_allocationsLeft = n;
}

BOOL WINAPI ZanAllocationMayProceed() { return zanole::AllocationMayProceed(); }

BOOL WINAPI ZanAllocationFaultFired() { return g_allocationFired.load(); }

void WINAPI ZanInjectFileFault(ZanFileFault fault, LONGLONG offset) {
  std::lock_guard<std::mutex> hold(g_fileLock);
  g_fileFault = fault;
  g_faultOffset = offset;
  g_fileFired = false;
}

BOOL WINAPI ZanFileFaultFired() { return g_fileFired.load(); }

}  // extern "C"
