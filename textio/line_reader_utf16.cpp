#include "line_reader_utf16.h"

bool CEncodedFile_LineReaderW::GetLineText(WString* out, UINT* recorded) {
  const WCHAR* units = line_.buffer() ? line_.buffer() : OLESTR("");
  const size_t length = WcsLen(units);
  out->append(units, length);
  *recorded = static_cast<UINT>(length);
  return true;
}

int CEncodedFile_LineReaderW::EncodeLine(const WCHAR* text, std::string* bytes) {
  size_t n = WcsLen(text);
  bytes->resize(n * 2);
  for (size_t i = 0; i < n; ++i) {
    (*bytes)[2 * i] = static_cast<char>(text[i] & 0xFF);
    (*bytes)[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return static_cast<int>(bytes->size());
}
