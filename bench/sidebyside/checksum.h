// The check every side-by-side program prints for its joined text: the
// CRC-32 of the UTF-16LE bytes and the length, as Python's zlib.crc32 gives
// it, so that a fast wrong answer shows.
#pragma once

#include <zlib.h>

#include <cstdio>
#include <string>

// Unit: char16_t, or a host's WCHAR (wchar_t on Windows); both are UTF-16.
template <class Unit>
std::string TextCheck(const Unit* text, size_t length) {
  static_assert(sizeof(Unit) == 2, "UTF-16 text");
  uLong crc = crc32(0L, Z_NULL, 0);
  const Bytef* bytes = reinterpret_cast<const Bytef*>(text);
  size_t left = length * 2;
  while (left > 0) {
    uInt chunk = left > (1u << 30) ? (1u << 30) : static_cast<uInt>(left);
    crc = crc32(crc, bytes, chunk);
    bytes += chunk;
    left -= chunk;
  }
  char out[48];
  std::snprintf(out, sizeof out, "%08lx:%zu", crc, length);
  return out;
}
