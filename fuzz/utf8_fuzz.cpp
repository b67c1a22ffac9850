// The UTF-8 codec on arbitrary bytes: decoding never overruns, the units
// before the first NUL re-encode to bytes that decode to them again (an
// overlong form of NUL decodes to a NUL inside the text), and the bounded
// forms need what they write and write nothing into too small a buffer; the
// counted decoder gives what the terminated one gives.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "textio/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<WCHAR[]> units;
  int n = Utf8ToWideAlloc(bytes.c_str(), &units);
  // The counted decoder, fast path and all, agrees with the terminated one
  // on the bytes before the first NUL: the same refusals, the same units.
  const size_t counted = std::strlen(bytes.c_str());
  std::unique_ptr<WCHAR[]> fast(new WCHAR[counted + 1]);
  const int f = Utf8DecodeUnits(bytes.data(), counted, fast.get());
  if ((f < 0) != (n < 0)) __builtin_trap();
  if (n >= 0 && (f != n - 1 || std::memcmp(fast.get(), units.get(), static_cast<size_t>(f) * sizeof(WCHAR)) != 0))
    __builtin_trap();
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
  // The bounded forms: the needed count is the written count, and one unit
  // (or byte) less writes nothing at all.
  const int needed = Utf8ToWide(bytes.c_str(), nullptr, 0);
  std::unique_ptr<WCHAR[]> exact(new WCHAR[static_cast<size_t>(needed) + 1]);
  if (needed != n || Utf8ToWide(bytes.c_str(), exact.get(), needed) != needed) __builtin_trap();
  std::fill(exact.get(), exact.get() + needed, WCHAR(0x5A5A));
  if (Utf8ToWide(bytes.c_str(), exact.get(), needed - 1) != 0) __builtin_trap();
  for (int i = 0; i < needed; ++i)
    if (exact[i] != 0x5A5A) __builtin_trap();
  const int bytesNeeded = WideToUtf8(units.get(), nullptr, 0);
  std::unique_ptr<char[]> narrow(new char[static_cast<size_t>(bytesNeeded)]);
  if (bytesNeeded != m || WideToUtf8(units.get(), narrow.get(), bytesNeeded) != bytesNeeded) __builtin_trap();
  std::fill(narrow.get(), narrow.get() + bytesNeeded, '\x5A');
  if (WideToUtf8(units.get(), narrow.get(), bytesNeeded - 1) != 0) __builtin_trap();
  for (int i = 0; i < bytesNeeded; ++i)
    if (narrow[i] != '\x5A') __builtin_trap();
  return 0;
}
