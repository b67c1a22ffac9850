// Opens a script file, detects or writes its byte order mark, and reads or
// writes it line by line through the reader for its encoding. Lives inside
// one Load or Save call.
#pragma once

#include <cstdio>
#include <memory>

#include "file_encoding.h"
#include "line_reader_base.h"

class CEncodedFile_LineReader {
 public:
  CEncodedFile_LineReader() = default;
  virtual ~CEncodedFile_LineReader() { Close(); }
  CEncodedFile_LineReader(const CEncodedFile_LineReader&) = delete;
  CEncodedFile_LineReader& operator=(const CEncodedFile_LineReader&) = delete;

  // OM_READ detects the encoding from the mark; OM_WRITE creates or
  // truncates the file and writes the mark of the given encoding; OM_APPEND
  // adds to the end in binary mode. A bad mode, or a bad encoding for
  // writing, returns false before any file is touched.
  bool Open(const WCHAR* name, int mode, int encoding);
  bool ReadLine(zan::UniqueBstr* out, bool strip);
  // Writes text up to its first NUL, then CR LF when newline is set.
  bool WriteLine(BSTR text, bool newline);
  void Close();

  int encoding() const { return encoding_; }
  bool IsOpen() const { return file_ != nullptr; }
  // True once a read has met the end of the file or a read error, and when
  // no file is open: a reading loop ends on it either way.
  bool AtEnd() const { return !file_ || std::feof(file_) || std::ferror(file_); }

 private:
  bool DetectEncoding();

  FILE* file_ = nullptr;
  int encoding_ = FE_UTF8;
  std::unique_ptr<CEncodedFile_LineReaderBase> reader_;
};
