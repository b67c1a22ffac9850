// UTF-16LE files, marked FF FE.
#pragma once

#include "line_reader_template.h"

class CEncodedFile_LineReaderW : public CEncodedFile_LineReaderTemplate<WCHAR> {
 public:
  using CEncodedFile_LineReaderTemplate::CEncodedFile_LineReaderTemplate;

 protected:
  const char* GetBOM() const noexcept override { return "\xFF\xFE"; }
  // The recorded length is exactly the text length.
  bool GetLineText(WString* out, UINT* recorded) override;
  int EncodeLine(const WCHAR* text, std::string* bytes) override;
};
