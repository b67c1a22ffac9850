// Line splitting and writing shared by the readers, over the file's
// character type: char for ANSI and UTF-8, WCHAR for UTF-16LE.
#pragma once

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "acc_str.h"
#include "base/hresult_error.h"
#include "line_reader_base.h"

template <typename T>
class CEncodedFile_LineReaderTemplate : public CEncodedFile_LineReaderBase {
 public:
  using CEncodedFile_LineReaderBase::CEncodedFile_LineReaderBase;

  bool ReadLineText(WString* out, bool strip, UINT* recorded) override {
    *recorded = 0;
    return ReadUnits(strip) && GetLineText(out, recorded);
  }

  // Reads the next line's units into line_: false at the end of the file
  // with nothing read, after a read error, or when the line cannot be held.
  // The file is read a block at a time; the line keeps what a unit-by-unit
  // read would give it, the ends of the file included.
  bool ReadUnits(bool strip) {
    line_.Reset();
    for (;;) {
      if (Buffered() < sizeof(T) && !Refill()) {
        // Nothing more: a partial UTF-16 unit is dropped, as it always was.
        at_ = end_;
        ended_ = true;
        if (line_.length() == 0) return readErrno_ ? FailWithErrno(readErrno_) : false;
        if (!Hold(nullptr, 0, true)) return false;
        return readErrno_ ? FailWithErrno(readErrno_) : true;
      }
      if constexpr (std::is_same_v<T, char>) {
        const char* from = block_.get() + at_;
        const size_t count = end_ - at_;
        const char* lf = static_cast<const char*>(std::memchr(from, '\n', count));
        const size_t taken = lf ? static_cast<size_t>(lf - from) : count;
        at_ += lf ? taken + 1 : taken;
        if (!HoldBytes(from, taken, strip)) return false;
        // Stripped, the LF becomes the terminator; kept, it ends the line.
        if (lf) return strip ? Hold(nullptr, 0, true) : HoldUnits("\n", 1);
      } else {
        // Units a chunk at a time; CR, LF and FFFF end a run.
        WCHAR chunk[256];
        int pending = 0;
        while (Buffered() >= 2 && pending < 256) {
          const unsigned char* b = reinterpret_cast<const unsigned char*>(block_.get() + at_);
          const WCHAR unit = static_cast<WCHAR>(b[0] | (b[1] << 8));
          at_ += 2;
          if (unit == 0xFFFF) {
            // Reads as the end of the file: it ends its line, and the next
            // read resumes after it.
            if (!HoldUnits(chunk, pending)) return false;
            if (line_.length() == 0) return false;
            return Hold(nullptr, 0, true);
          }
          if (unit == 0x0A) {
            // Stripped, the LF becomes the terminator; kept, it ends the line.
            if (!HoldUnits(chunk, pending)) return false;
            if (strip) return Hold(nullptr, 0, true);
            chunk[0] = unit;
            return HoldUnits(chunk, 1);
          }
          if (unit == 0x0D && strip) continue;
          chunk[pending++] = unit;
        }
        if (!HoldUnits(chunk, pending)) return false;
      }
    }
  }

  // True once a read has met the end of the file or a read error; before
  // any read, what the stream says.
  bool AtEnd() const noexcept override {
    if (!block_) return std::feof(file_) || std::ferror(file_);
    return ended_;
  }
  size_t Buffered() const noexcept override { return end_ - at_; }

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

  // Appends the line's text up to its first NUL to *out (unchanged on
  // failure), and gives its recorded length.
  virtual bool GetLineText(WString* out, UINT* recorded) = 0;
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
  static constexpr size_t kBlockBytes = 64 * 1024;

  // Moves the unread bytes (less than a unit) to the front and reads a
  // block after them; false when the file had nothing more. A read error
  // is kept and met once the bytes read before it are used.
  bool Refill() {
    if (exhausted_) return false;
    if (!block_) {
      block_.reset(new (std::nothrow) char[kBlockBytes]);
      if (!block_) zan::ThrowHr(E_OUTOFMEMORY);
    }
    const size_t kept = end_ - at_;
    if (kept) std::memmove(block_.get(), block_.get() + at_, kept);
    at_ = 0;
    end_ = kept;
    errno = 0;
    const size_t got = std::fread(block_.get() + kept, 1, kBlockBytes - kept, file_);
    end_ += got;
    if (got < kBlockBytes - kept) {
      exhausted_ = true;
      if (std::ferror(file_)) readErrno_ = errno ? errno : EIO;
    }
    return got > 0;
  }
  // Appends units to the line (and its terminator, with end); false with
  // the reason when it cannot be held.
  bool Hold(const T* units, int count, bool end) {
    if ((count && line_.Append(units, count) != 0) || (end && line_.AppendChar(0) != 0)) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    return true;
  }
  bool HoldUnits(const T* units, int count) { return count == 0 || Hold(units, count, false); }
  // A run of bytes without LF; with strip, without its CRs.
  bool HoldBytes(const char* from, size_t count, bool strip) {
    while (count) {
      const char* cr = strip ? static_cast<const char*>(std::memchr(from, '\r', count)) : nullptr;
      const size_t run = cr ? static_cast<size_t>(cr - from) : count;
      if (!HoldUnits(from, static_cast<int>(run))) return false;  // a run lies within one block
      from += cr ? run + 1 : run;
      count -= cr ? run + 1 : run;
    }
    return true;
  }

  std::unique_ptr<char[]> block_;  // null until the first read
  size_t at_ = 0, end_ = 0;        // the unread bytes: [at_, end_)
  bool exhausted_ = false;         // the file has given all it will
  int readErrno_ = 0;              // why it stopped, when a read failed
  bool ended_ = false;             // a read has met the end or the error

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
