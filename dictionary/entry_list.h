// The entries of a dictionary in key order, in one of two forms.
//
// A line of a script holds a few entries: the first lives inside the
// dictionary itself, more in one sorted block, where an insertion or removal
// moves at most kMaxBlock entries, a bounded cost. A host's dictionary may
// hold any number: beyond kMaxBlock the entries go to a balanced tree, the
// standard's std::map, at O(log n) comparisons for an insertion or removal in
// any order. Its nodes never move, so values read in place stay put, and its
// node handles let entries leave it without allocating. A B-tree would be
// denser, but would be ours to keep correct. The tree goes back to a block
// when a quarter of kMaxBlock is left, so calls around the threshold cannot
// convert on each call. Both forms fit in the space the block form alone
// took: a line is not one byte larger for the tree it may never need.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <utility>

#include "base/unique_variant.h"
#include "shared_key.h"

struct DictionaryEntry {
  SharedKey key;
  zan::UniqueVariant value;
};

// Key order: VarCmp in the user locale, case-sensitive, two VT_NULL
// unordered.
bool KeyLess(const VARIANT* a, const VARIANT* b) noexcept;

struct KeyOrder {
  using is_transparent = void;
  bool operator()(const SharedKey& a, const SharedKey& b) const noexcept { return KeyLess(a.get(), b.get()); }
  bool operator()(const SharedKey& a, const VARIANT* b) const noexcept { return KeyLess(a.get(), b); }
  bool operator()(const VARIANT* a, const SharedKey& b) const noexcept { return KeyLess(a, b.get()); }
};

class EntryList {
 public:
  // The most entries the block holds; one more makes the tree.
  static constexpr uint32_t kMaxBlock = 64;

  using Tree = std::map<SharedKey, zan::UniqueVariant, KeyOrder>;
  // Where a key is, or would go: an index into the block, or a node.
  struct Place {
    uint32_t index;
    Tree::iterator node;
  };

  EntryList() noexcept = default;
  EntryList(const EntryList&) = delete;
  EntryList& operator=(const EntryList&) = delete;
  ~EntryList();

  uint32_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // The first entry whose key is not before key, and whether its key is
  // equivalent to key.
  Place LowerBound(const VARIANT* key, bool* found) noexcept;
  // The same, for a key about to be stored: a tree is filled in key order
  // so often (a host's loop, a clone) that a key after the last is tried
  // first, at one comparison.
  Place PlaceFor(const VARIANT* key, bool* found) noexcept;
  zan::UniqueVariant& ValueAt(const Place& at) noexcept {
    return IsTree() ? at.node->second : data_[at.index].value;
  }

  // Inserts an entry whose key no entry holds, before at; throws std::bad_alloc
  // and then leaves the list as it was.
  void Insert(const Place& at, DictionaryEntry&& entry);

  // Moves every entry whose key is equivalent to key into doomed, an empty
  // list, and closes the gap. The values are released only when doomed
  // goes, after this list is whole again: a value that calls back while it
  // is released finds consistent entries. Throws std::bad_alloc, before
  // anything changes, when doomed needs a block for more than one entry.
  void Take(const VARIANT* key, EntryList* doomed);

  // Hands every entry to a new, empty list without allocating, so that
  // they can be destroyed while this list is already empty.
  void MoveTo(EntryList* empty) noexcept;

  // The entry at index in key order, read in place. In the tree, reads of
  // the next index go on from the last one, so a scan costs one step each.
  void EntryAt(uint32_t index, const VARIANT** key, const VARIANT** value) noexcept {
    if (IsTree()) return TreeEntryAt(index, key, value);
    *key = data_[index].key.get();
    *value = data_[index].value.get();
  }

  // Calls change(value) for each value, in no particular order.
  template <class Change>
  void ForEachValue(Change change) noexcept {
    if (IsTree()) {
      for (auto& entry : tree_->entries) change(&entry.second);
    } else {
      for (uint32_t i = 0; i < size_; ++i) change(&data_[i].value);
    }
  }

  // Calls visit(key, value) for each entry in key order while it returns
  // true.
  template <class Visit>
  void ForEach(Visit visit) const {
    if (IsTree()) {
      for (const auto& [key, value] : tree_->entries)
        if (!visit(key.get(), value.get())) return;
    } else {
      for (uint32_t i = 0; i < size_; ++i)
        if (!visit(data_[i].key.get(), data_[i].value.get())) return;
    }
  }

 private:
  struct TreeForm {
    Tree entries;
    // The entry EntryAt read last, and its index; kNoCursor when the tree
    // has changed since.
    Tree::iterator cursor;
    uint32_t cursorIndex = kNoCursor;
  };
  static constexpr uint32_t kNoCursor = UINT32_MAX;

  bool IsTree() const noexcept { return data_ == nullptr; }
  DictionaryEntry* Inline() noexcept { return reinterpret_cast<DictionaryEntry*>(inline_); }
  void InsertInBlock(uint32_t at, DictionaryEntry&& entry);
  void InsertMakingTree(uint32_t at, DictionaryEntry&& entry);
  void TakeFromTree(Tree::iterator first, Tree::iterator last, uint32_t count, EntryList* doomed);
  void ShrinkToBlock() noexcept;
  void TreeEntryAt(uint32_t index, const VARIANT** key, const VARIANT** value) noexcept;
  void Reserve(uint32_t capacity);
  void Resize(uint32_t capacity);
  void DestroyBlock() noexcept;
  void Reset() noexcept;

  // The block form keeps its first entry in inline_; the tree form, where
  // data_ is null, keeps its tree's address there instead.
  union {
    alignas(DictionaryEntry) unsigned char inline_[sizeof(DictionaryEntry)];
    TreeForm* tree_;
  };
  DictionaryEntry* data_ = Inline();
  uint32_t size_ = 0;
  uint32_t capacity_ = 1;
};
