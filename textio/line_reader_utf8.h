// UTF-8 files, marked EF BB BF.
#pragma once

#include "line_reader_template.h"

class CEncodedFile_LineReaderUTF8 : public CEncodedFile_LineReaderTemplate<char> {
 public:
  using CEncodedFile_LineReaderTemplate::CEncodedFile_LineReaderTemplate;

 protected:
  const char* GetBOM() const noexcept override { return "\xEF\xBB\xBF"; }
  // The recorded length is the line's byte count including its terminator,
  // bytes after a NUL included; an undecodable line still gives it.
  bool GetLineText(WString* out, UINT* recorded) override;
  int EncodeLine(const WCHAR* text, std::string* bytes) override;
};
