#include "utf8.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

bool IsTrail(unsigned char b) { return (b & 0xC0) == 0x80; }

// One walk serves sizing and decoding; a null destination only counts.
int64_t Decode(const unsigned char* s, WCHAR* out) {
  int64_t n = 0;
  auto put = [&](uint32_t unit) {
    if (out) out[n] = static_cast<WCHAR>(unit);
    ++n;
  };
  for (;;) {
    unsigned char b = *s++;
    if (b == 0) {
      put(0);
      return n;
    }
    if (b < 0x80) {
      put(b);
    } else if ((b & 0xE0) == 0xC0) {
      if (!IsTrail(s[0])) return -1;
      put(((b & 0x1Fu) << 6) | (s[0] & 0x3Fu));
      s += 1;
    } else if ((b & 0xF0) == 0xE0) {
      if (!IsTrail(s[0]) || !IsTrail(s[1])) return -1;
      put(((b & 0x0Fu) << 12) | ((s[0] & 0x3Fu) << 6) | (s[1] & 0x3Fu));
      s += 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      if (!IsTrail(s[0]) || !IsTrail(s[1]) || !IsTrail(s[2])) return -1;
      uint32_t cp = ((b & 0x07u) << 18) | ((s[0] & 0x3Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
      if (cp < 0x10000 || cp > 0x10FFFF) return -1;
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
      s += 3;
    } else {
      return -1;
    }
  }
}

int64_t Encode(const WCHAR* s, unsigned char* out) {
  int64_t n = 0;
  auto put = [&](unsigned b) {
    if (out) out[n] = static_cast<unsigned char>(b);
    ++n;
  };
  for (;; ++s) {
    unsigned u = *s;
    if (u == 0) {
      put(0);
      return n;
    }
    if (u <= 0x7F) {
      put(u);
    } else if (u <= 0x7FF) {
      put(0xC0 | (u >> 6));
      put(0x80 | (u & 0x3F));
    } else {
      put(0xE0 | (u >> 12));
      put(0x80 | ((u >> 6) & 0x3F));
      put(0x80 | (u & 0x3F));
    }
  }
}

int Clamp(int64_t n) { return n > INT_MAX ? -1 : static_cast<int>(n); }

}  // namespace

int Utf8DecodeUnits(const char* source, size_t count, WCHAR* destination) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
  const unsigned char* const end = s + count;
  WCHAR* out = destination;
  while (s < end) {
    if (end - s >= 8) {
      uint64_t word;
      std::memcpy(&word, s, sizeof word);
      if ((word & 0x8080808080808080ull) == 0) {
        for (int i = 0; i < 8; ++i) out[i] = static_cast<WCHAR>(s[i]);
        s += 8;
        out += 8;
        continue;
      }
    }
    const unsigned char b = *s++;
    const ptrdiff_t left = end - s;
    if (b < 0x80) {
      *out++ = b;
    } else if ((b & 0xE0) == 0xC0) {
      if (left < 1 || !IsTrail(s[0])) return -1;
      *out++ = static_cast<WCHAR>(((b & 0x1Fu) << 6) | (s[0] & 0x3Fu));
      s += 1;
    } else if ((b & 0xF0) == 0xE0) {
      if (left < 2 || !IsTrail(s[0]) || !IsTrail(s[1])) return -1;
      *out++ = static_cast<WCHAR>(((b & 0x0Fu) << 12) | ((s[0] & 0x3Fu) << 6) | (s[1] & 0x3Fu));
      s += 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      if (left < 3 || !IsTrail(s[0]) || !IsTrail(s[1]) || !IsTrail(s[2])) return -1;
      uint32_t cp = ((b & 0x07u) << 18) | ((s[0] & 0x3Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
      if (cp < 0x10000 || cp > 0x10FFFF) return -1;
      *out++ = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
      *out++ = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      s += 3;
    } else {
      return -1;
    }
  }
  return Clamp(out - destination);
}

size_t Utf8EncodeUnits(const WCHAR* source, size_t count, char* destination) {
  unsigned char* out = reinterpret_cast<unsigned char*>(destination);
  size_t i = 0;
  while (i < count) {
    if (count - i >= 4) {
      uint64_t word;
      std::memcpy(&word, source + i, sizeof word);
      if ((word & 0xFF80FF80FF80FF80ull) == 0) {
        for (int k = 0; k < 4; ++k) out[k] = static_cast<unsigned char>(source[i + k]);
        out += 4;
        i += 4;
        continue;
      }
    }
    const unsigned u = source[i++];
    if (u <= 0x7F) {
      *out++ = static_cast<unsigned char>(u);
    } else if (u <= 0x7FF) {
      *out++ = static_cast<unsigned char>(0xC0 | (u >> 6));
      *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
    } else {
      *out++ = static_cast<unsigned char>(0xE0 | (u >> 12));
      *out++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
      *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
    }
  }
  return static_cast<size_t>(out - reinterpret_cast<unsigned char*>(destination));
}

int Utf8Decode(const char* source, WCHAR* destination) {
  return Clamp(Decode(reinterpret_cast<const unsigned char*>(source), destination));
}

int Utf8Encode(const WCHAR* source, char* destination) {
  return Clamp(Encode(source, reinterpret_cast<unsigned char*>(destination)));
}

namespace {

// The bounded contract shared by both directions: all or nothing.
template <typename From, typename To>
int Bounded(int (*convert)(const From*, To*), const From* source, To* destination, int capacity) {
  if (!source || static_cast<const void*>(source) == static_cast<const void*>(destination)) return 0;
  int needed = convert(source, nullptr);
  if (needed < 0) return 0;
  if (!destination) return needed;
  if (capacity < needed) return 0;
  return convert(source, destination);
}

// The allocating contract shared by both directions: an exactly sized array.
template <typename From, typename To>
int Allocated(int (*convert)(const From*, To*), const From* source, std::unique_ptr<To[]>* out) {
  int needed = source ? convert(source, nullptr) : -1;
  if (needed < 0) return -1;
  out->reset(new (std::nothrow) To[static_cast<size_t>(needed)]);
  if (!*out) return -1;
  return convert(source, out->get());
}

}  // namespace

int Utf8ToWide(const char* source, WCHAR* destination, int capacity) {
  return Bounded(Utf8Decode, source, destination, capacity);
}

int WideToUtf8(const WCHAR* source, char* destination, int capacity) {
  return Bounded(Utf8Encode, source, destination, capacity);
}

int Utf8ToWideAlloc(const char* source, std::unique_ptr<WCHAR[]>* out) { return Allocated(Utf8Decode, source, out); }

int WideToUtf8Alloc(const WCHAR* source, std::unique_ptr<char[]>* out) { return Allocated(Utf8Encode, source, out); }
