// Files in the ANSI code page, without a byte order mark.
#pragma once

#include "line_reader_template.h"

class CEncodedFile_LineReaderA : public CEncodedFile_LineReaderTemplate<char> {
 public:
  using CEncodedFile_LineReaderTemplate::CEncodedFile_LineReaderTemplate;

 protected:
  const char* GetBOM() const noexcept override { return ""; }
  // The recorded length is the text length + 1: the converted terminator.
  bool GetLineText(WString* out, UINT* recorded) override;
  int EncodeLine(const WCHAR* text, std::string* bytes) override;
};
