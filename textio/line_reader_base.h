// The readers of one encoding each: they read and write an open stream one
// line at a time. The stream belongs to the facade, which outlives them.
// Failure is a false result with its reason recorded for GetLastError; only
// memory that cannot be had is raised: a read block (E_OUTOFMEMORY) or room
// in the caller's string (std::bad_alloc).
#pragma once

#include <cstdio>

#include "zanole/zanole.h"

class CEncodedFile_LineReaderBase {
 public:
  explicit CEncodedFile_LineReaderBase(FILE* file) : file_(file) {}
  virtual ~CEncodedFile_LineReaderBase() = default;
  CEncodedFile_LineReaderBase(const CEncodedFile_LineReaderBase&) = delete;
  CEncodedFile_LineReaderBase& operator=(const CEncodedFile_LineReaderBase&) = delete;

  // Reads the next line and appends its text up to the first NUL to a
  // string the caller reuses (unchanged on failure): no allocation per line.
  // With strip, CR is dropped wherever it stands and the LF is not kept.
  // *recorded is the line's recorded length as its encoding's reader defines
  // it (0 when nothing was read). False at end of file with nothing read,
  // after a read error, when the line cannot be held, or for a line that
  // cannot be decoded.
  virtual bool ReadLineText(WString* out, bool strip, UINT* recorded) = 0;
  // Writes text (up to its first NUL), then CR LF when newline is set.
  virtual bool WriteLine(const WCHAR* text, bool newline) noexcept = 0;
  virtual bool WriteBOM() noexcept = 0;
  // True once a read has met the end of the file or a read error.
  virtual bool AtEnd() const noexcept = 0;
  // Bytes read from the file and not yet taken into a line.
  virtual size_t Buffered() const noexcept = 0;

 protected:
  FILE* file_;
};
