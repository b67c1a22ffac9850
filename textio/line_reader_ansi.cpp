#include "line_reader_ansi.h"

#include <cstring>

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

namespace {

bool BeginsWith(const std::string& bytes, const char* mark) { return bytes.compare(0, std::strlen(mark), mark) == 0; }

}  // namespace

bool CEncodedFile_LineReaderA::WriteBOM() noexcept {
  atStart_ = true;
  return CEncodedFile_LineReaderTemplate::WriteBOM();
}

bool CEncodedFile_LineReaderA::WriteLine(const WCHAR* text, bool newline) noexcept {
  const bool ok = CEncodedFile_LineReaderTemplate::WriteLine(text, newline);
  atStart_ = false;
  return ok;
}

int CEncodedFile_LineReaderA::EncodeLine(const WCHAR* text, std::string* bytes) {
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return n - 1;
  bytes->resize(static_cast<size_t>(n));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, bytes->data(), n, nullptr, nullptr) == 0) return -1;
  bytes->pop_back();
  // A file without a mark that begins like one is read back in the mark's
  // encoding, losing or scrambling every line ("\xEF\xBB\xBF" is "ï»¿" in
  // code page 1252): such a text cannot be kept in ANSI.
  if (atStart_ && (BeginsWith(*bytes, "\xEF\xBB\xBF") || BeginsWith(*bytes, "\xFF\xFE"))) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return -1;
  }
  return n - 1;
}
