// The readers of one encoding each: they read and write an open stream one
// line at a time. The stream belongs to the facade, which outlives them.
// Failure is a false result with its reason recorded for GetLastError; only
// a BSTR or a read block that cannot be allocated is raised (E_OUTOFMEMORY).
#pragma once

#include <cstdio>

#include "base/unique_bstr.h"
#include "zanole/zanole.h"

class CEncodedFile_LineReaderBase {
 public:
  explicit CEncodedFile_LineReaderBase(FILE* file) : file_(file) {}
  virtual ~CEncodedFile_LineReaderBase() = default;
  CEncodedFile_LineReaderBase(const CEncodedFile_LineReaderBase&) = delete;
  CEncodedFile_LineReaderBase& operator=(const CEncodedFile_LineReaderBase&) = delete;

  // Reads the next line; with strip, CR is dropped wherever it stands and
  // the LF is not kept. False at end of file with nothing read, after a read
  // error, when the line cannot be held, or for a line that cannot be
  // decoded (*out may still be set).
  virtual bool ReadLine(zan::UniqueBstr* out, bool strip) = 0;
  // The same line as its text up to the first NUL, appended to a string the
  // caller reuses (unchanged on failure): no allocation per line. *recorded
  // is the length ReadLine's BSTR would record.
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
