// The lines of a script: one contiguous array of line references, each
// owning one reference or null. Index access is constant time, appending is
// amortised constant (the array grows by half its capacity), and a failed
// growth leaves the array as it was.
#pragma once

#include <cstddef>

#include "zanole/zanole.h"

class CLineArray {
 public:
  // The most lines a script holds: what a 32-bit process could address at
  // 16 bytes a line. Beyond it growth fails as memory exhaustion does.
  static constexpr LONG kMaxLines = 0x7FFFFFFF / 16;

  CLineArray() = default;
  ~CLineArray() { Clear(); }
  CLineArray(const CLineArray&) = delete;
  CLineArray& operator=(const CLineArray&) = delete;

  LONG size() const { return size_; }
  IDispatch* at(LONG index) const { return items_[index]; }

  // Makes room for count lines in all; false when that cannot be had.
  bool Reserve(LONG count);
  // Inserts line before index (index == size appends), adding a reference.
  bool Insert(LONG index, IDispatch* line);
  // Replaces the line at index, adding a reference to the new one and
  // releasing the old one.
  void Replace(LONG index, IDispatch* line);
  // Removes lines [first, size), releasing them.
  void Truncate(LONG first);
  void Remove(LONG index) { Erase(index, 1); }
  // Removes the lines [first, first + count), releasing them.
  void Erase(LONG first, LONG count);
  void Clear() { Truncate(0); }

 private:
  IDispatch** items_ = nullptr;
  LONG size_ = 0;
  LONG capacity_ = 0;
};
