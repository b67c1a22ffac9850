#include "encoded_text_file.h"

#include <cerrno>

#include "line_reader_ansi.h"
#include "line_reader_utf16.h"
#include "line_reader_utf8.h"

namespace {

std::unique_ptr<CEncodedFile_LineReaderBase> MakeReader(int encoding, FILE* file) {
  switch (encoding) {
    case FE_ANSI: return std::make_unique<CEncodedFile_LineReaderA>(file);
    case FE_UTF16LE: return std::make_unique<CEncodedFile_LineReaderW>(file);
    default: return std::make_unique<CEncodedFile_LineReaderUTF8>(file);
  }
}

}  // namespace

bool CEncodedTextFile::Open(const WCHAR* name, int mode, int encoding) {
  // Text-mode append would turn each CR LF into CR CR LF on Windows, so all
  // modes are binary.
  const WCHAR* streamMode = nullptr;
  switch (mode) {
    case OM_READ: streamMode = OLESTR("rb"); break;
    case OM_WRITE: streamMode = OLESTR("w+b"); break;
    case OM_APPEND: streamMode = OLESTR("ab"); break;
  }
  if (!streamMode || (mode != OM_READ && !IsFileEncoding(encoding))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return Kept(false);
  }
  Close();
  FILE* stream = nullptr;
  if (WFOpen(&stream, name, streamMode) != 0) return Kept(false);
  owned_.reset(stream);
  file_ = stream;
  if (mode == OM_READ) {
    if (!DetectEncoding()) return Kept(false);
  } else {
    encoding_ = encoding;
  }
  reader_ = MakeReader(encoding_, file_);
  return mode == OM_WRITE ? Kept(reader_->WriteBOM()) : true;
}

bool CEncodedTextFile::Attach(FILE* stream, int encoding) {
  Close();
  if (!stream || !IsFileEncoding(encoding)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return Kept(false);
  }
  file_ = stream;
  encoding_ = encoding;
  reader_ = MakeReader(encoding_, file_);
  return Kept(reader_->WriteBOM());
}

bool CEncodedTextFile::Kept(bool ok) {
  if (!ok) lastError_ = GetLastError();
  return ok;
}

bool CEncodedTextFile::DetectEncoding() {
  unsigned char mark[3] = {};
  size_t n = std::fread(mark, 1, 3, file_);
  if (std::ferror(file_)) return FailWithErrno(errno);
  long skip = 0;
  if (n == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
    encoding_ = FE_UTF8;
    skip = 3;
  } else if (n >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
    encoding_ = FE_UTF16LE;
    skip = 2;
  } else {
    encoding_ = FE_ANSI;
  }
  return std::fseek(file_, skip, SEEK_SET) == 0 || FailWithErrno(errno);
}

bool CEncodedTextFile::ReadLineText(WString* out, bool strip, UINT* recorded) {
  if (!file_ || !reader_) return false;
  // The end of the file is no failure and leaves no reason; a read error,
  // a line that cannot be held or decoded does.
  SetLastError(ERROR_SUCCESS);
  UINT length = 0;
  bool ok = reader_->ReadLineText(out, strip, &length);
  if (recorded) *recorded = length;
  if (!ok && GetLastError() != ERROR_SUCCESS) lastError_ = GetLastError();
  return ok;
}

bool CEncodedTextFile::WriteLine(const WCHAR* text, bool newline) {
  if (!file_ || !reader_) return false;
  return Kept(reader_->WriteLine(text, newline));
}

bool CEncodedTextFile::Flush() {
  if (!file_) return false;
  return Kept(FFlushToDisk(file_));
}

bool CEncodedTextFile::Close() {
  reader_.reset();
  file_ = nullptr;
  // Closed by hand: the close is a written stream's last write, and can fail.
  FILE* owned = owned_.release();
  if (!owned) return true;
  return Kept(std::fclose(owned) == 0 || FailWithErrno(errno));
}

int64_t CEncodedTextFile::RemainingBytes() const {
  if (!file_) return -1;
  long at = std::ftell(file_);
  if (at < 0 || std::fseek(file_, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(file_);
  if (std::fseek(file_, at, SEEK_SET) != 0) return -1;
  // What the reader holds is still to be read.
  const int64_t ahead = reader_ ? static_cast<int64_t>(reader_->Buffered()) : 0;
  return end >= at ? end - at + ahead : -1;
}
