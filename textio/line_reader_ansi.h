// Files in the ANSI code page, without a byte order mark.
#pragma once

#include "line_reader_template.h"

class CEncodedFile_LineReaderA : public CEncodedFile_LineReaderTemplate<char> {
 public:
  using CEncodedFile_LineReaderTemplate::CEncodedFile_LineReaderTemplate;

  bool WriteLine(const WCHAR* text, bool newline) noexcept override;
  bool WriteBOM() noexcept override;

 protected:
  const char* GetBOM() const noexcept override { return ""; }
  // The recorded length is the text length + 1: the converted terminator.
  bool GetLineText(WString* out, UINT* recorded) override;
  int EncodeLine(const WCHAR* text, std::string* bytes) override;

 private:
  // Whether the next line written starts the file, where bytes that read as
  // another encoding's mark would change how the whole file is read.
  bool atStart_ = false;
};
