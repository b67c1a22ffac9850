#include "line_array.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

bool CLineArray::Reserve(LONG count) {
  if (count <= capacity_) return true;
  if (count > kMaxLines) return false;
  // The platform's allocator, so that fault-injection tests reach it too.
  auto* grown = static_cast<IDispatch**>(CoTaskMemRealloc(items_, static_cast<size_t>(count) * sizeof(IDispatch*)));
  if (!grown) return false;
  items_ = grown;
  capacity_ = count;
  return true;
}

bool CLineArray::Insert(LONG index, IDispatch* line) {
  if (size_ == capacity_) {
    LONG grown = capacity_ < 8 ? 8 : capacity_ + capacity_ / 2;
    if (grown > kMaxLines) grown = kMaxLines;
    if (grown <= size_ || !Reserve(grown)) return false;
  }
  std::memmove(items_ + index + 1, items_ + index, static_cast<size_t>(size_ - index) * sizeof(IDispatch*));
  if (line) line->AddRef();
  items_[index] = line;
  ++size_;
  return true;
}

void CLineArray::Replace(LONG index, IDispatch* line) {
  if (line) line->AddRef();
  IDispatch* old = items_[index];
  items_[index] = line;
  if (old) old->Release();
}

void CLineArray::Truncate(LONG first) {
  // Released from the end so a line's release cannot see a half-shrunk array
  // through re-entry.
  while (size_ > first) {
    IDispatch* line = items_[--size_];
    if (line) line->Release();
  }
  if (size_ == 0) {
    CoTaskMemFree(items_);
    items_ = nullptr;
    capacity_ = 0;
  }
}

void CLineArray::Erase(LONG first, LONG count) {
  if (count <= 0) return;
  // The array is whole again before any line is released, so a release
  // that calls back finds the lines that remain, and the lines released
  // are those that were in the range.
  std::unique_ptr<IDispatch*[]> doomed(new (std::nothrow) IDispatch*[static_cast<size_t>(count)]);
  const LONG slice = doomed ? count : 1;  // without room, one line at a time
  IDispatch* one[1];
  IDispatch** out = doomed ? doomed.get() : one;
  // (A release that called back may have shortened the array meanwhile.)
  for (LONG left = count; left > 0 && first + slice <= size_; left -= slice) {
    std::memcpy(out, items_ + first, static_cast<size_t>(slice) * sizeof(IDispatch*));
    std::memmove(items_ + first, items_ + first + slice, static_cast<size_t>(size_ - first - slice) * sizeof(IDispatch*));
    size_ -= slice;
    for (LONG i = 0; i < slice; ++i)
      if (out[i]) out[i]->Release();
  }
}
