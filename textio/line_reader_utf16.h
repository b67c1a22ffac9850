// UTF-16LE files, marked FF FE.
#pragma once

#include "acc_str.h"
#include "line_reader_template.h"

class CEncodedFile_LineReaderW : public CEncodedFile_LineReaderTemplate<WCHAR> {
 public:
  using CEncodedFile_LineReaderTemplate::CEncodedFile_LineReaderTemplate;

 protected:
  bool AppendChar(WCHAR ch) override { return line_.AppendChar(ch) == 0; }
  int ReadChar() override { return FGetWUnit(file_); }
  void ClearLine() override { line_.Reset(); }
  // The unit FFFF reads as the end of the file, so it ends its line; the
  // next read resumes after it.
  bool IsEndOfFile(int ch) override { return ch == kWEof || ch == 0xFFFF; }
  std::string GetBOM() override { return "\xFF\xFE"; }
  // The recorded length is exactly the text length.
  bool GetLine(zan::UniqueBstr* out) override;
  int EncodeLine(const WCHAR* text, std::string* bytes) override;

 private:
  CZanAccStrW line_;
};
