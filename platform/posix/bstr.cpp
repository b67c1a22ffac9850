// BSTR: a UTF-16 buffer preceded by its byte length and followed by a NUL
// unit. The byte length may be odd (SysAllocStringByteLen), so three zero
// bytes follow the data to terminate both the byte and the unit view.
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "faults.h"
#include "zanole/zanole.h"

namespace {

constexpr size_t kPrefix = sizeof(DWORD);
constexpr size_t kTail = 3;
// Beyond this the length prefix (and a 32-bit host's address space) cannot
// describe the string.
constexpr uint64_t kMaxBytes = 0x7FFFFFF0u;

std::atomic<LONG> g_live{0};

// A string this large is written whole as soon as it is made (a joined
// script, a copy of one). Backed by transparent huge pages where the
// system offers them on request, that is one page fault per 2 MiB instead
// of one per 4 KiB, which is most of the cost of writing it.
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
constexpr uint64_t kHugeFrom = 4 * kHugePage;

void AdviseHugePages(char* block, uint64_t bytes) {
#ifdef MADV_HUGEPAGE
  if (bytes < kHugeFrom) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
  // Only advice: a refusal leaves ordinary pages.
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

DWORD* HeaderOf(BSTR s) { return reinterpret_cast<DWORD*>(reinterpret_cast<char*>(s) - kPrefix); }

BSTR AllocBytes(const void* src, uint64_t bytes) {
  if (bytes > kMaxBytes || !zanole::AllocationMayProceed()) return nullptr;
  char* block = static_cast<char*>(std::malloc(kPrefix + bytes + kTail));
  if (!block) return nullptr;
  AdviseHugePages(block, kPrefix + bytes);
  g_live.fetch_add(1, std::memory_order_relaxed);
  DWORD len = static_cast<DWORD>(bytes);
  std::memcpy(block, &len, sizeof len);
  char* data = block + kPrefix;
  // Without a source the storage is left as it comes, as the runtime
  // documents: a caller about to write it whole pays for no filling first.
  if (src) std::memcpy(data, src, bytes);
  std::memset(data + bytes, 0, kTail);
  return reinterpret_cast<BSTR>(data);
}

}  // namespace

extern "C" {

UINT STDAPICALLTYPE SysStringByteLen(BSTR bstr) { return bstr ? *HeaderOf(bstr) : 0; }

UINT STDAPICALLTYPE SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }

BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return AllocBytes(strIn, static_cast<uint64_t>(ui) * sizeof(OLECHAR));
}

BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(WcsLen(psz)));
}

BSTR STDAPICALLTYPE SysAllocStringByteLen(LPCSTR psz, UINT len) { return AllocBytes(psz, len); }

void STDAPICALLTYPE SysFreeString(BSTR bstrString) {
  if (!bstrString) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  std::free(HeaderOf(bstrString));
}

LONG WINAPI ZanLiveBstrCount() { return g_live.load(std::memory_order_relaxed); }

INT STDAPICALLTYPE SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  // psz may point into the old string, so copy before freeing.
  BSTR fresh;
  if (psz) {
    fresh = SysAllocStringLen(psz, len);
  } else {
    fresh = SysAllocStringLen(nullptr, len);
    if (fresh) {
      // The old text is kept and what lies beyond it is zero, as it always was here.
      UINT keep = SysStringLen(*pbstr) < len ? SysStringLen(*pbstr) : len;
      if (keep) std::memcpy(fresh, *pbstr, keep * sizeof(OLECHAR));
      std::memset(fresh + keep, 0, (len - keep) * sizeof(OLECHAR));
    }
  }
  if (!fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT STDAPICALLTYPE SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  if (!psz) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(WcsLen(psz)));
}

HRESULT STDAPICALLTYPE VarBstrCat(BSTR bstrLeft, BSTR bstrRight, LPBSTR pbstrResult) {
  if (!pbstrResult) return E_INVALIDARG;
  UINT left = SysStringByteLen(bstrLeft);
  UINT right = SysStringByteLen(bstrRight);
  BSTR out = AllocBytes(nullptr, static_cast<uint64_t>(left) + right);
  if (!out) return E_OUTOFMEMORY;
  if (left) std::memcpy(out, bstrLeft, left);
  if (right) std::memcpy(reinterpret_cast<char*>(out) + left, bstrRight, right);
  *pbstrResult = out;
  return S_OK;
}

}  // extern "C"
