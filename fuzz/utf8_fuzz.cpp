// The UTF-8 codec on arbitrary bytes: decoding never overruns, and the
// units before the first NUL re-encode to bytes that decode to them again
// (an overlong form of NUL decodes to a NUL inside the text).
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
  const size_t text = WcsLen(units.get());
  if (k < 0 || WcsLen(again.get()) != text ||
      std::memcmp(units.get(), again.get(), text * sizeof(WCHAR)) != 0)
    __builtin_trap();
  return 0;
}
