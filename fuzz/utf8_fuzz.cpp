// The UTF-8 codec on arbitrary bytes: decoding never overruns, and what
// decodes re-encodes to bytes that decode to the same units.
#include <cstring>
#include <memory>
#include <string>

#include "textio/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<WCHAR[]> units;
  int n = Utf8ToWideAlloc(bytes.c_str(), &units);
  if (n < 0) return 0;
  std::unique_ptr<char[]> encoded;
  int m = WideToUtf8Alloc(units.get(), &encoded);
  if (m <= 0) __builtin_trap();
  std::unique_ptr<WCHAR[]> again;
  int k = Utf8ToWideAlloc(encoded.get(), &again);
  if (k != n || std::memcmp(units.get(), again.get(), static_cast<size_t>(n) * sizeof(WCHAR)) != 0) __builtin_trap();
  return 0;
}
