#include "line_reader_utf8.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "utf8.h"

namespace {

// The recorded length of a read line: its bytes with the terminator, one
// more when it ends in its kept LF instead.
int RecordedUnits(const char* bytes, int length) {
  int units = std::max(length, 1);
  if (length > 0 && bytes[length - 1] != 0) ++units;
  return units;
}

// The bytes before the first NUL: decoding ends there.
size_t TextBytes(const char* bytes, int length) {
  const void* nul = std::memchr(bytes, 0, static_cast<size_t>(length));
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : static_cast<size_t>(length);
}

}  // namespace

bool CEncodedFile_LineReaderUTF8::GetLineText(WString* out, UINT* recorded) {
  const char* bytes = line_.buffer() ? line_.buffer() : "";
  *recorded = static_cast<UINT>(RecordedUnits(bytes, line_.length()));
  const size_t count = TextBytes(bytes, line_.length());
  const size_t base = out->size();
  out->resize(base + count);
  const int decoded = Utf8DecodeUnits(bytes, count, out->data() + base);
  if (decoded < 0) {
    out->resize(base);
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  // An overlong form may decode to NUL: the text ends there too.
  out->resize(base + WcsNLen(out->data() + base, static_cast<size_t>(decoded)));
  return true;
}

int CEncodedFile_LineReaderUTF8::EncodeLine(const WCHAR* text, std::string* bytes) {
  // One pass into room for the longest form, then cut to what was written.
  const size_t units = WcsLen(text);
  if (units > static_cast<size_t>(INT_MAX) / 3) {
    // Measured first: such a text may still fit the count.
    int n = WideToUtf8(text, nullptr, 0);
    if (n <= 1) return n - 1;
    bytes->resize(static_cast<size_t>(n));
    WideToUtf8(text, bytes->data(), n);
    bytes->pop_back();
    return n - 1;
  }
  const size_t base = bytes->size();
  bytes->resize(base + units * 3);
  const size_t written = Utf8EncodeUnits(text, units, bytes->data() + base);
  bytes->resize(base + written);
  return static_cast<int>(written);
}
