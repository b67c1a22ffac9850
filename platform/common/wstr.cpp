// The UTF-16 helpers that need nothing from the target.
#include <cstdint>
#include <cstring>

#include "zanole/zanole.h"

size_t WcsLen(const WCHAR* s) {
  const WCHAR* p = s;
  while (*p) ++p;
  return static_cast<size_t>(p - s);
}

size_t WcsNLen(const WCHAR* s, size_t max) {
  // Four units a step: a 64-bit word holds a zero unit exactly when this
  // test finds one (the borrow of a lower lane only ever runs into a lane
  // that is zero itself).
  constexpr uint64_t kLow = 0x0001000100010001ull, kHigh = 0x8000800080008000ull;
  size_t i = 0;
  for (; i + 4 <= max; i += 4) {
    uint64_t word;
    std::memcpy(&word, s + i, sizeof word);
    if ((word - kLow) & ~word & kHigh) break;
  }
  while (i < max && s[i]) ++i;
  return i;
}

const WCHAR* WcsStr(const WCHAR* s, const WCHAR* needle) {
  if (!*needle) return s;
  for (; *s; ++s) {
    const WCHAR* a = s;
    const WCHAR* b = needle;
    while (*a && *a == *b) ++a, ++b;
    if (!*b) return s;
  }
  return nullptr;
}

namespace {
bool IsDelimiter(WCHAR c, const WCHAR* delim) {
  for (; *delim; ++delim)
    if (*delim == c) return true;
  return false;
}
}  // namespace

WCHAR* WcsTok(WCHAR* s, const WCHAR* delim, WCHAR** state) {
  WCHAR* p = s ? s : *state;
  if (!p) return nullptr;
  while (*p && IsDelimiter(*p, delim)) ++p;
  if (!*p) {
    *state = p;
    return nullptr;
  }
  WCHAR* token = p;
  while (*p && !IsDelimiter(*p, delim)) ++p;
  if (*p) *p++ = 0;
  *state = p;
  return token;
}

int FGetWUnit(FILE* file) {
  int lo = FGetByte(file);
  if (lo == EOF) return kWEof;
  int hi = FGetByte(file);
  if (hi == EOF) return kWEof;
  return lo | (hi << 8);
}
