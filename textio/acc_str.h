// Growable strings that collect a line one character at a time. The buffer
// grows to 1024 characters and then doubles, and a user starts a new text by
// Reset(), keeping the buffer, so reading a file allocates once per
// high-water mark rather than once per line.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "zanole/zanole.h"

template <typename T>
class CZanAccStrBase {
 public:
  // Length of a NUL-terminated string; 0 for null.
  int StrLen(const T* source) const noexcept {
    if (!source) return 0;
    if constexpr (std::is_same_v<T, char>) {
      return static_cast<int>(std::strlen(source));
    } else {
      return static_cast<int>(WcsLen(source));
    }
  }

  // Appends count characters (-1: up to the terminator). 0 on success, -1
  // when a larger buffer cannot be had; the text is then unchanged. The
  // source may be this string's own text: it is copied before the old
  // buffer goes.
  int Append(const T* source, int count) noexcept {
    if (!source) return 0;
    if (count < 0) count = StrLen(source);
    if (count < 0) return -1;  // a text beyond INT_MAX
    int64_t required = static_cast<int64_t>(length_) + count + 1;
    if (required > capacity_) {
      int64_t grown = capacity_ == 0 ? 1024 : capacity_;
      while (grown < required) grown *= 2;
      if (grown > INT_MAX) return -1;
      std::unique_ptr<T[]> fresh(new (std::nothrow) T[static_cast<size_t>(grown)]);
      if (!fresh) return -1;
      if (length_) std::memcpy(fresh.get(), buffer_.get(), static_cast<size_t>(length_) * sizeof(T));
      std::memcpy(fresh.get() + length_, source, static_cast<size_t>(count) * sizeof(T));
      buffer_ = std::move(fresh);
      capacity_ = static_cast<int>(grown);
    } else {
      // memmove: the source may lie in this very buffer.
      std::memmove(buffer_.get() + length_, source, static_cast<size_t>(count) * sizeof(T));
    }
    length_ += count;
    buffer_[length_] = 0;
    return 0;
  }

  int AppendChar(T c) noexcept { return Append(&c, 1); }

  // Room for capacity characters and the terminator, so that appends up to
  // it copy nothing; false (and nothing changed) when it cannot be had.
  bool Reserve(int64_t capacity) noexcept {
    if (capacity + 1 <= capacity_) return true;
    if (capacity + 1 > INT_MAX) return false;
    std::unique_ptr<T[]> fresh(new (std::nothrow) T[static_cast<size_t>(capacity + 1)]);
    if (!fresh) return false;
    if (length_) std::memcpy(fresh.get(), buffer_.get(), static_cast<size_t>(length_) * sizeof(T));
    fresh[length_] = 0;
    buffer_ = std::move(fresh);
    capacity_ = static_cast<int>(capacity + 1);
    return true;
  }

  void Reset() noexcept {
    length_ = 0;
    if (buffer_) buffer_[0] = 0;
  }

  int capacity() const noexcept { return capacity_; }
  int length() const noexcept { return length_; }
  // Null until the first append; otherwise NUL-terminated at length().
  const T* buffer() const noexcept { return buffer_.get(); }

 private:
  int capacity_ = 0;
  int length_ = 0;
  std::unique_ptr<T[]> buffer_;
};

using CZanAccStrA = CZanAccStrBase<char>;
using CZanAccStrW = CZanAccStrBase<WCHAR>;
