// UTF-8 files, marked EF BB BF.
#pragma once

#include "acc_str.h"
#include "line_reader_template.h"

class CEncodedFile_LineReaderUTF8 : public CEncodedFile_LineReaderTemplate<char> {
 public:
  using CEncodedFile_LineReaderTemplate::CEncodedFile_LineReaderTemplate;

 protected:
  bool AppendChar(char ch) override { return line_.AppendChar(ch) == 0; }
  int ReadChar() override { return std::getc(file_); }
  void ClearLine() override { line_.Reset(); }
  bool IsEndOfFile(int ch) override { return ch == EOF; }
  std::string GetBOM() override { return "\xEF\xBB\xBF"; }
  // The recorded length is the line's byte count including its terminator;
  // the units after the decoded text are zero. An undecodable line still
  // hands out that (zeroed) string and fails.
  bool GetLine(zan::UniqueBstr* out) override;
  int EncodeLine(const WCHAR* text, std::string* bytes) override;

 private:
  CZanAccStrA line_;
};
