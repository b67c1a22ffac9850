// Line splitting and writing shared by the readers, over the file's
// character type: char for ANSI and UTF-8, WCHAR for UTF-16LE.
#pragma once

#include <string>
#include <type_traits>

#include "acc_str.h"
#include "line_reader_base.h"

template <typename T>
class CEncodedFile_LineReaderTemplate : public CEncodedFile_LineReaderBase {
 public:
  using CEncodedFile_LineReaderBase::CEncodedFile_LineReaderBase;

  bool ReadLine(zan::UniqueBstr* out, bool strip) override {
    ClearLine();
    bool first = true, newline = false, end = false;
    while (!end && !newline) {
      int ch = ReadChar();
      bool appended;
      if (IsEndOfFile(ch)) {
        if (first) return false;
        end = true;
        appended = AppendChar(0);
      } else if (ch == 0x0A) {
        newline = true;
        appended = AppendChar(strip ? 0 : static_cast<T>(ch));
      } else if (ch == 0x0D && strip) {
        continue;
      } else {
        appended = AppendChar(static_cast<T>(ch));
      }
      if (!appended) zan::ThrowHr(E_OUTOFMEMORY);
      first = false;
    }
    if (end && std::ferror(file_)) return false;
    return GetLine(out);
  }

  bool WriteLine(WString text, bool newline) override {
    if (!file_) return false;
    if (newline) text += OLESTR("\r\n");
    if (text.empty()) return true;
    std::string bytes;
    if (EncodeLine(text.c_str(), &bytes) <= 0) return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  }

  bool WriteBOM() override {
    if (!file_) return false;
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    std::string mark = GetBOM();
    if (mark.empty()) return true;
    return std::fwrite(mark.data(), 1, mark.size(), file_) == mark.size();
  }

 protected:
  using Accumulator = std::conditional_t<std::is_same_v<T, char>, CZanAccStrA, CZanAccStrW>;

  virtual bool AppendChar(T ch) { return line_.AppendChar(ch) == 0; }
  // getc for byte files; one little-endian unit for UTF-16 files.
  virtual int ReadChar() {
    if constexpr (std::is_same_v<T, char>) {
      return std::getc(file_);
    } else {
      return FGetWUnit(file_);
    }
  }
  virtual void ClearLine() { line_.Reset(); }
  // Byte files end at EOF only, so every byte value is text. In UTF-16 the
  // unit FFFF reads as the end of the file too: it ends its line, and the
  // next read resumes after it.
  virtual bool IsEndOfFile(int ch) {
    if constexpr (std::is_same_v<T, char>) {
      return ch == EOF;
    } else {
      return ch == kWEof || ch == 0xFFFF;
    }
  }
  virtual bool GetLine(zan::UniqueBstr* out) = 0;
  virtual std::string GetBOM() = 0;
  // The bytes of text up to its first NUL, without a terminator; their
  // count, or 0 / -1 when the text cannot be encoded.
  virtual int EncodeLine(const WCHAR* text, std::string* bytes) = 0;

  // The characters of the line being read.
  Accumulator line_;
};
