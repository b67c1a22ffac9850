#include "ansi_conversion.h"

#include <new>

int AnsiToWideAlloc(const char* source, std::unique_ptr<WCHAR[]>* out, UINT codePage) {
  out->reset();
  int n = MultiByteToWideChar(codePage, 0, source, -1, nullptr, 0);
  if (n == 0) return -1;
  std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[static_cast<size_t>(n)]);
  if (!text) return -1;
  if (MultiByteToWideChar(codePage, 0, source, -1, text.get(), n) == 0) return -1;
  *out = std::move(text);
  return n;
}

int WideToAnsiAlloc(const WCHAR* source, std::unique_ptr<char[]>* out, UINT codePage) {
  out->reset();
  int n = WideCharToMultiByte(codePage, 0, source, -1, nullptr, 0, nullptr, nullptr);
  if (n == 0) return -1;
  std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<size_t>(n)]);
  if (!text) return -1;
  if (WideCharToMultiByte(codePage, 0, source, -1, text.get(), n, nullptr, nullptr) == 0) return -1;
  *out = std::move(text);
  return n;
}
