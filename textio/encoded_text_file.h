// Opens a script file, detects or writes its byte order mark, and reads or
// writes it line by line through the reader for its encoding. Lives inside
// one Load or Save call. Every failing call records its reason (a Win32
// error: not found, access denied, disk full, ...) for GetLastError and
// keeps it for LastError(), so a caller can tell failures apart.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "base/unique_any.h"
#include "file_encoding.h"
#include "line_reader_base.h"

class CEncodedTextFile {
 public:
  CEncodedTextFile() = default;
  ~CEncodedTextFile() { Close(); }
  CEncodedTextFile(const CEncodedTextFile&) = delete;
  CEncodedTextFile& operator=(const CEncodedTextFile&) = delete;

  // OM_READ detects the encoding from the mark; OM_WRITE creates or
  // truncates the file and writes the mark of the given encoding; OM_APPEND
  // adds to the end in binary mode. A bad mode, or a bad encoding for
  // writing, returns false before any file is touched.
  bool Open(const WCHAR* name, int mode, int encoding);
  // Writes to a stream that stays its owner's (a file save's), starting
  // with the mark of encoding; Close leaves the stream open.
  bool Attach(FILE* stream, int encoding);
  // Reads the next line as the reader for the encoding does (see
  // CEncodedFile_LineReaderBase::ReadLineText), giving its recorded length
  // when recorded is given. The end of the file fails without a reason.
  bool ReadLineText(WString* out, bool strip, UINT* recorded = nullptr);
  // Writes text up to its first NUL (a BSTR or any terminated string), then
  // CR LF when newline is set.
  bool WriteLine(const WCHAR* text, bool newline);
  // Writes what is buffered through to the disk.
  bool Flush();
  // False when what was written could not all reach the file (a full disk
  // often shows only here, when the stream's buffer is flushed). An
  // attached stream is only let go: its owner flushes and closes it.
  bool Close();

  int encoding() const { return encoding_; }
  // The reason the last failing call failed; ERROR_SUCCESS when none has.
  DWORD LastError() const { return lastError_; }
  bool IsOpen() const { return file_ != nullptr; }
  // The bytes between the read position and the end of the file; -1 when
  // the file does not say.
  int64_t RemainingBytes() const;
  // True once a read has met the end of the file or a read error, and when
  // no file is open: a reading loop ends on it either way.
  bool AtEnd() const { return !file_ || !reader_ || reader_->AtEnd(); }

 private:
  bool DetectEncoding();
  // Keeps the reason a call failed (GetLastError, which the failing call
  // set) and returns ok.
  bool Kept(bool ok);

  // The stream in use: owned_'s, or an attached one that stays its owner's.
  FILE* file_ = nullptr;
  zan::UniqueFile owned_;
  DWORD lastError_ = ERROR_SUCCESS;
  int encoding_ = FE_UTF8;
  std::unique_ptr<CEncodedFile_LineReaderBase> reader_;
};
