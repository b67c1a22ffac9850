// The entries of a dictionary in key order, with room for one entry inside
// the dictionary itself: most lines of a script hold their text alone, and
// then need no second block.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

#include "base/unique_variant.h"
#include "shared_key.h"

struct DictionaryEntry {
  SharedKey key;
  zan::UniqueVariant value;
};

class EntryList {
 public:
  EntryList() noexcept = default;
  EntryList(const EntryList&) = delete;
  EntryList& operator=(const EntryList&) = delete;
  ~EntryList() { erase(begin(), end()); FreeHeap(); }

  DictionaryEntry* begin() noexcept { return data_; }
  DictionaryEntry* end() noexcept { return data_ + size_; }
  const DictionaryEntry* begin() const noexcept { return data_; }
  const DictionaryEntry* end() const noexcept { return data_ + size_; }
  uint32_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // Moves the entry in before position; throws std::bad_alloc and then
  // leaves the list as it was.
  DictionaryEntry* insert(DictionaryEntry* position, DictionaryEntry&& entry) {
    uint32_t at = static_cast<uint32_t>(position - data_);
    if (size_ == capacity_) Grow();
    new (data_ + size_) DictionaryEntry();
    for (uint32_t i = size_; i > at; --i) data_[i] = std::move(data_[i - 1]);
    data_[at] = std::move(entry);
    ++size_;
    return data_ + at;
  }

  // Moves the entries [first, last) into doomed, an empty list, and closes
  // the gap. The values are released only when doomed goes, after this list
  // is whole again: a value that calls back while it is released finds
  // consistent entries. Throws std::bad_alloc, before anything changes, when
  // doomed needs a block for more than one entry.
  void Take(DictionaryEntry* first, DictionaryEntry* last, EntryList* doomed) {
    uint32_t count = static_cast<uint32_t>(last - first);
    if (count == size_) {
      MoveTo(doomed);
      return;
    }
    doomed->Reserve(count);
    for (DictionaryEntry* in = first; in != last; ++in)
      new (doomed->data_ + doomed->size_++) DictionaryEntry(std::move(*in));
    erase(first, last);  // only emptied entries: nothing is released
  }

  // Hands every entry to a new, empty list without allocating, so that
  // they can be destroyed while this list is already empty.
  void MoveTo(EntryList* empty) noexcept {
    if (data_ != reinterpret_cast<DictionaryEntry*>(inline_)) {
      empty->data_ = data_;
      empty->capacity_ = capacity_;
    } else if (size_ == 1) {
      new (empty->data_) DictionaryEntry(std::move(data_[0]));
      data_[0].~DictionaryEntry();
    }
    empty->size_ = size_;
    data_ = reinterpret_cast<DictionaryEntry*>(inline_);
    size_ = 0;
    capacity_ = 1;
  }

 private:
  void erase(DictionaryEntry* first, DictionaryEntry* last) noexcept {
    DictionaryEntry* out = first;
    for (DictionaryEntry* in = last; in != end(); ++in) *out++ = std::move(*in);
    for (DictionaryEntry* gone = out; gone != end(); ++gone) gone->~DictionaryEntry();
    size_ = static_cast<uint32_t>(out - data_);
  }
  void Reserve(uint32_t capacity) {
    if (capacity > capacity_) Resize(capacity);
  }
  void Grow() { Resize(capacity_ * 2); }
  void Resize(uint32_t capacity) {
    auto* fresh = static_cast<DictionaryEntry*>(::operator new(sizeof(DictionaryEntry) * capacity));
    for (uint32_t i = 0; i < size_; ++i) {
      new (fresh + i) DictionaryEntry(std::move(data_[i]));
      data_[i].~DictionaryEntry();
    }
    FreeHeap();
    data_ = fresh;
    capacity_ = capacity;
  }
  void FreeHeap() noexcept {
    if (data_ != reinterpret_cast<DictionaryEntry*>(inline_)) ::operator delete(data_);
    data_ = reinterpret_cast<DictionaryEntry*>(inline_);
    capacity_ = 1;
  }
  alignas(DictionaryEntry) unsigned char inline_[sizeof(DictionaryEntry)];
  DictionaryEntry* data_ = reinterpret_cast<DictionaryEntry*>(inline_);
  uint32_t size_ = 0;
  uint32_t capacity_ = 1;
};
