#include "line_reader_ansi.h"

bool CEncodedFile_LineReaderA::GetLineText(WString* out, UINT* recorded) {
  const char* bytes = line_.buffer() ? line_.buffer() : "";
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes, -1, nullptr, 0);
  if (n == 0) return false;
  const size_t base = out->size();
  out->resize(base + static_cast<size_t>(n));
  if (MultiByteToWideChar(CP_ACP, 0, bytes, -1, out->data() + base, n) == 0) {
    out->resize(base);
    return false;
  }
  *recorded = static_cast<UINT>(n);
  out->resize(base + WcsNLen(out->data() + base, static_cast<size_t>(n)));
  return true;
}

int CEncodedFile_LineReaderA::EncodeLine(const WCHAR* text, std::string* bytes) {
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return n - 1;
  bytes->resize(static_cast<size_t>(n));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, bytes->data(), n, nullptr, nullptr) == 0) return -1;
  bytes->pop_back();
  return n - 1;
}
