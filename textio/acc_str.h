// Growable strings that collect a line one character at a time. The buffer
// grows to 1024 characters and then doubles, and a user starts a new text by
// Reset(), keeping the buffer, so reading a file allocates once per
// high-water mark rather than once per line.
#pragma once

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "zanole/zanole.h"

template <typename T>
class CZanAccStrBase {
 public:
  virtual ~CZanAccStrBase() = default;

  // Length of a NUL-terminated string; 0 for null.
  virtual int StrLen(const T* source) const = 0;

  // Appends count characters (-1: up to the terminator). 0 on success, -1
  // when a larger buffer cannot be had; the text is then unchanged.
  int Append(const T* source, int count) {
    if (!source) return 0;
    if (count < 0) count = StrLen(source);
    int64_t required = static_cast<int64_t>(length_) + count + 1;
    if (required > capacity_) {
      int64_t grown = capacity_ == 0 ? 1024 : capacity_;
      while (grown < required) grown *= 2;
      if (grown > INT_MAX) return -1;
      std::unique_ptr<T[]> fresh(new (std::nothrow) T[static_cast<size_t>(grown)]);
      if (!fresh) return -1;
      if (length_) std::memcpy(fresh.get(), buffer_.get(), static_cast<size_t>(length_) * sizeof(T));
      buffer_ = std::move(fresh);
      capacity_ = static_cast<int>(grown);
    }
    std::memcpy(buffer_.get() + length_, source, static_cast<size_t>(count) * sizeof(T));
    length_ += count;
    buffer_[length_] = 0;
    return 0;
  }

  int AppendChar(T c) { return Append(&c, 1); }

  void Reset() {
    length_ = 0;
    if (buffer_) buffer_[0] = 0;
  }

  int capacity() const { return capacity_; }
  int length() const { return length_; }
  // Null until the first append; otherwise NUL-terminated at length().
  const T* buffer() const { return buffer_.get(); }

 private:
  int capacity_ = 0;
  int length_ = 0;
  std::unique_ptr<T[]> buffer_;
};

class CZanAccStrA : public CZanAccStrBase<char> {
 public:
  int StrLen(const char* source) const override;
};

class CZanAccStrW : public CZanAccStrBase<WCHAR> {
 public:
  int StrLen(const WCHAR* source) const override;
};
