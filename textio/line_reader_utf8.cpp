#include "line_reader_utf8.h"

#include <algorithm>

#include "utf8.h"

bool CEncodedFile_LineReaderUTF8::GetLine(zan::UniqueBstr* out) {
  const char* bytes = line_.buffer() ? line_.buffer() : "";
  // Without strip the line ends in LF rather than NUL; leave room for the
  // terminator so such a line still decodes.
  int units = std::max(line_.length(), 1);
  if (line_.length() > 0 && bytes[line_.length() - 1] != 0) ++units;
  zan::UniqueBstr line = zan::UniqueBstr::FromUnits(nullptr, static_cast<UINT>(units));
  std::fill(line.get(), line.get() + units, OLECHAR(0));
  bool decoded = Utf8ToWide(bytes, line.get(), units) != 0;
  *out = std::move(line);
  if (!decoded) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return decoded;
}

bool CEncodedFile_LineReaderUTF8::GetLineText(WString* out, UINT* recorded) {
  const char* bytes = line_.buffer() ? line_.buffer() : "";
  int units = std::max(line_.length(), 1);
  if (line_.length() > 0 && bytes[line_.length() - 1] != 0) ++units;
  *recorded = static_cast<UINT>(units);
  out->resize(static_cast<size_t>(units));
  if (Utf8ToWide(bytes, out->data(), units) == 0) {
    out->clear();
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  out->resize(WcsLen(out->c_str()));
  return true;
}

int CEncodedFile_LineReaderUTF8::EncodeLine(const WCHAR* text, std::string* bytes) {
  int n = WideToUtf8(text, nullptr, 0);
  if (n <= 1) return n - 1;
  bytes->resize(static_cast<size_t>(n));
  WideToUtf8(text, bytes->data(), n);
  bytes->pop_back();
  return n - 1;
}
