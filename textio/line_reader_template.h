// Line splitting and writing shared by the readers, over the file's
// character type: char for ANSI and UTF-8, WCHAR for UTF-16LE.
#pragma once

#include <cerrno>
#include <new>
#include <string>
#include <type_traits>

#include "acc_str.h"
#include "line_reader_base.h"

template <typename T>
class CEncodedFile_LineReaderTemplate : public CEncodedFile_LineReaderBase {
 public:
  using CEncodedFile_LineReaderBase::CEncodedFile_LineReaderBase;

  bool ReadLine(zan::UniqueBstr* out, bool strip) override { return ReadUnits(strip) && GetLine(out); }
  bool ReadLineText(WString* out, bool strip, UINT* recorded) override {
    *recorded = 0;
    return ReadUnits(strip) && GetLineText(out, recorded);
  }

  // Reads the next line's units into line_: false at the end of the file
  // with nothing read, after a read error, or when the line cannot be held.
  bool ReadUnits(bool strip) {
    line_.Reset();
    // Units go to the line a chunk at a time, not one call per byte.
    T chunk[256];
    int pending = 0;
    bool first = true, newline = false, end = false;
    while (!end && !newline) {
      int ch = ReadChar();
      T unit;
      if (IsEndOfFile(ch)) {
        if (first) return std::ferror(file_) ? FailWithErrno(errno) : false;
        end = true;
        unit = 0;
      } else if (ch == 0x0A) {
        newline = true;
        unit = strip ? 0 : static_cast<T>(ch);
      } else if (ch == 0x0D && strip) {
        continue;
      } else {
        unit = static_cast<T>(ch);
      }
      chunk[pending++] = unit;
      first = false;
      if (pending == static_cast<int>(sizeof chunk / sizeof chunk[0]) || end || newline) {
        if (line_.Append(chunk, pending) != 0) {
          SetLastError(ERROR_NOT_ENOUGH_MEMORY);
          return false;
        }
        pending = 0;
      }
    }
    if (end && std::ferror(file_)) return FailWithErrno(errno);
    return true;
  }

  bool WriteLine(const WCHAR* text, bool newline) noexcept override {
    if (!file_) return false;
    try {
      // One buffer for every line written: no allocation per line.
      std::string& bytes = encoded_;
      bytes.clear();
      if (text && *text && EncodeLine(text, &bytes) <= 0) return false;
      if (newline) bytes += NewLine();
      if (bytes.empty()) return true;
      return Write(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
  }

  bool WriteBOM() noexcept override {
    if (!file_) return false;
    if (std::fseek(file_, 0, SEEK_SET) != 0) return FailWithErrno(errno);
    const char* mark = GetBOM();
    return Write(mark, std::char_traits<char>::length(mark));
  }

 protected:
  using Accumulator = std::conditional_t<std::is_same_v<T, char>, CZanAccStrA, CZanAccStrW>;

  // Makes the line's BSTR from the characters read.
  virtual bool GetLine(zan::UniqueBstr* out) = 0;
  // The line's text up to its first NUL, and the length GetLine's BSTR
  // records; by default through GetLine.
  virtual bool GetLineText(WString* out, UINT* recorded) {
    zan::UniqueBstr line;
    bool ok = GetLine(&line);
    *recorded = line.length();
    if (line.get()) {
      out->assign(line.get(), WcsLen(line.get()));
    } else {
      out->clear();
    }
    return ok;
  }
  // The byte order mark, "" for none.
  virtual const char* GetBOM() const noexcept = 0;
  // The bytes of text up to its first NUL, without a terminator; their
  // count, or 0 / -1 when the text cannot be encoded. May raise
  // std::bad_alloc.
  virtual int EncodeLine(const WCHAR* text, std::string* bytes) = 0;

  // The characters of the line being read.
  Accumulator line_;
  // The bytes of the line being written.
  std::string encoded_;

 private:
  // A byte for byte files; one little-endian unit for UTF-16 files.
  int ReadChar() noexcept {
    if constexpr (std::is_same_v<T, char>) {
      return FGetByte(file_);
    } else {
      return FGetWUnit(file_);
    }
  }
  // Byte files end at EOF only, so every byte value is text. In UTF-16 the
  // unit FFFF reads as the end of the file too: it ends its line, and the
  // next read resumes after it.
  static bool IsEndOfFile(int ch) noexcept {
    if constexpr (std::is_same_v<T, char>) {
      return ch == EOF;
    } else {
      return ch == kWEof || ch == 0xFFFF;
    }
  }
  // CR LF in the file's units.
  static std::string NewLine() {
    if constexpr (std::is_same_v<T, char>) {
      return "\r\n";
    } else {
      return std::string("\r\0\n\0", 4);
    }
  }
  bool Write(const char* bytes, size_t count) noexcept {
    if (count == 0 || std::fwrite(bytes, 1, count, file_) == count) return true;
    return FailWithErrno(errno);
  }
};
