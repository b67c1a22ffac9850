#include "line_array.h"

#include <cstdlib>
#include <cstring>

bool CLineArray::Reserve(LONG count) {
  if (count <= capacity_) return true;
  if (count > kMaxLines) return false;
  auto* grown = static_cast<IDispatch**>(std::realloc(items_, static_cast<size_t>(count) * sizeof(IDispatch*)));
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
    std::free(items_);
    items_ = nullptr;
    capacity_ = 0;
  }
}

void CLineArray::Remove(LONG index) {
  IDispatch* line = items_[index];
  std::memmove(items_ + index, items_ + index + 1, static_cast<size_t>(size_ - index - 1) * sizeof(IDispatch*));
  --size_;
  if (line) line->Release();
}
