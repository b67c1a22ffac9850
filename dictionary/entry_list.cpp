#include "entry_list.h"

#include <cstring>

namespace {

// Identical strings are equal without asking the collation, which is most
// lookups.
HRESULT Order(const VARIANT* a, const VARIANT* b) noexcept {
  if (V_VT(a) == VT_BSTR && V_VT(b) == VT_BSTR) {
    UINT n = SysStringLen(V_BSTR(a));
    if (n == SysStringLen(V_BSTR(b)) && (n == 0 || std::memcmp(V_BSTR(a), V_BSTR(b), n * sizeof(OLECHAR)) == 0))
      return VARCMP_EQ;
  }
  return VarCmp(const_cast<VARIANT*>(a), const_cast<VARIANT*>(b), LOCALE_USER_DEFAULT, 0);
}

}  // namespace

bool KeyLess(const VARIANT* a, const VARIANT* b) noexcept {
  if (V_VT(a) == VT_NULL && V_VT(b) == VT_NULL) return false;
  return Order(a, b) == VARCMP_LT;
}

EntryList::~EntryList() {
  if (IsTree()) {
    delete tree_;
  } else {
    DestroyBlock();
  }
}

EntryList::Place EntryList::LowerBound(const VARIANT* key, bool* found) noexcept {
  if (IsTree()) {
    Tree& tree = tree_->entries;
    auto node = tree.lower_bound(key);
    *found = node != tree.end() && !KeyLess(key, node->first.get());
    return {0, node};
  }
  uint32_t first = 0, count = size_;
  while (count > 0) {
    uint32_t half = count / 2;
    if (KeyLess(data_[first + half].key.get(), key)) {
      first += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  *found = first != size_ && !KeyLess(key, data_[first].key.get());
  return {first, {}};
}

EntryList::Place EntryList::PlaceFor(const VARIANT* key, bool* found) noexcept {
  if (IsTree() && size_ > 0) {
    Tree& tree = tree_->entries;
    if (KeyLess(std::prev(tree.end())->first.get(), key)) {
      *found = false;
      return {0, tree.end()};
    }
  }
  return LowerBound(key, found);
}

void EntryList::Insert(const Place& at, DictionaryEntry&& entry) {
  if (IsTree()) {
    // The hint is the exact place: a check or two, no second search.
    tree_->entries.emplace_hint(at.node, std::move(entry.key), std::move(entry.value));
    tree_->cursorIndex = kNoCursor;
    ++size_;
  } else if (size_ < kMaxBlock) {
    InsertInBlock(at.index, std::move(entry));
  } else {
    InsertMakingTree(at.index, std::move(entry));
  }
}

void EntryList::InsertInBlock(uint32_t at, DictionaryEntry&& entry) {
  if (size_ == capacity_) Resize(capacity_ * 2);
  new (data_ + size_) DictionaryEntry();
  for (uint32_t i = size_; i > at; --i) data_[i] = std::move(data_[i - 1]);
  data_[at] = std::move(entry);
  ++size_;
}

// Every node is made first, holding a copy of its key and no value: a
// failure then drops them and leaves the block as it was. Only then do the
// values move, which cannot fail.
void EntryList::InsertMakingTree(uint32_t at, DictionaryEntry&& entry) {
  auto form = std::make_unique<TreeForm>();
  Tree& tree = form->entries;
  Tree::iterator added;
  for (uint32_t i = 0; i <= size_; ++i) {
    if (i == at) added = tree.emplace_hint(tree.end(), entry.key, zan::UniqueVariant());
    if (i < size_) tree.emplace_hint(tree.end(), data_[i].key, zan::UniqueVariant());
  }
  added->second = std::move(entry.value);
  auto node = tree.begin();
  for (uint32_t i = 0; i < size_; ++i, ++node) {
    if (node == added) ++node;
    node->second = std::move(data_[i].value);
  }
  DestroyBlock();  // keys and emptied values only: nothing is released
  tree_ = form.release();
  data_ = nullptr;
  capacity_ = 0;
  size_ = static_cast<uint32_t>(tree.size());
}

void EntryList::Take(const VARIANT* key, EntryList* doomed) {
  bool found = false;
  Place first = LowerBound(key, &found);
  uint32_t count = 0;
  if (IsTree()) {
    auto last = first.node;
    for (; last != tree_->entries.end() && !KeyLess(key, last->first.get()); ++last) ++count;
    if (count == size_) {
      MoveTo(doomed);
    } else if (count > 0) {
      TakeFromTree(first.node, last, count, doomed);
    }
    return;
  }
  while (first.index + count < size_ && !KeyLess(key, data_[first.index + count].key.get())) ++count;
  if (count == 0) return;
  if (count == size_) {
    MoveTo(doomed);
    return;
  }
  doomed->Reserve(count);
  DictionaryEntry* from = data_ + first.index;
  for (uint32_t i = 0; i < count; ++i) new (doomed->data_ + doomed->size_++) DictionaryEntry(std::move(from[i]));
  // Close the gap: only emptied entries are destroyed, nothing is released.
  for (uint32_t i = first.index + count; i < size_; ++i) data_[i - count] = std::move(data_[i]);
  for (uint32_t i = size_ - count; i < size_; ++i) data_[i].~DictionaryEntry();
  size_ -= count;
}

void EntryList::TakeFromTree(Tree::iterator first, Tree::iterator last, uint32_t count, EntryList* doomed) {
  doomed->Reserve(count);
  Tree& tree = tree_->entries;
  while (first != last) {
    // A node handle's key may be moved out: the entry goes whole, and its
    // node is freed empty.
    auto node = tree.extract(first++);
    new (doomed->data_ + doomed->size_++) DictionaryEntry{std::move(node.key()), std::move(node.mapped())};
  }
  tree_->cursorIndex = kNoCursor;
  size_ -= count;
  if (size_ <= kMaxBlock / 4) ShrinkToBlock();
}

// Back to the block form, unless the block cannot be had: the tree then
// stays, as good if not as small.
void EntryList::ShrinkToBlock() noexcept {
  uint32_t capacity = 1;
  while (capacity < size_) capacity *= 2;
  DictionaryEntry* block = Inline();
  if (capacity > 1) {
    block = static_cast<DictionaryEntry*>(::operator new(sizeof(DictionaryEntry) * capacity, std::nothrow));
    if (!block) return;
  }
  std::unique_ptr<TreeForm> form(tree_);  // inline_ is the tree's address until the first entry moves in
  Tree& tree = form->entries;
  for (uint32_t i = 0; !tree.empty(); ++i) {
    auto node = tree.extract(tree.begin());
    new (block + i) DictionaryEntry{std::move(node.key()), std::move(node.mapped())};
  }
  data_ = block;
  capacity_ = capacity;
}

void EntryList::MoveTo(EntryList* empty) noexcept {
  if (IsTree()) {
    empty->tree_ = tree_;
    empty->data_ = nullptr;
    empty->capacity_ = 0;
  } else if (data_ != Inline()) {
    empty->data_ = data_;
    empty->capacity_ = capacity_;
  } else if (size_ == 1) {
    new (empty->data_) DictionaryEntry(std::move(data_[0]));
    data_[0].~DictionaryEntry();
  }
  empty->size_ = size_;
  Reset();
}

void EntryList::TreeEntryAt(uint32_t index, const VARIANT** key, const VARIANT** value) noexcept {
  TreeForm& form = *tree_;
  Tree& tree = form.entries;
  if (form.cursorIndex == kNoCursor || index < form.cursorIndex / 2) {
    form.cursor = tree.begin();
    form.cursorIndex = 0;
  }
  if (index >= form.cursorIndex + (size_ - form.cursorIndex) / 2) {
    form.cursor = tree.end();
    form.cursorIndex = size_;
  }
  for (; form.cursorIndex < index; ++form.cursorIndex) ++form.cursor;
  for (; form.cursorIndex > index; --form.cursorIndex) --form.cursor;
  *key = form.cursor->first.get();
  *value = form.cursor->second.get();
}

void EntryList::Reserve(uint32_t capacity) {
  if (capacity > capacity_) Resize(capacity);
}

void EntryList::Resize(uint32_t capacity) {
  auto* fresh = static_cast<DictionaryEntry*>(::operator new(sizeof(DictionaryEntry) * capacity));
  for (uint32_t i = 0; i < size_; ++i) {
    new (fresh + i) DictionaryEntry(std::move(data_[i]));
    data_[i].~DictionaryEntry();
  }
  if (data_ != Inline()) ::operator delete(data_);
  data_ = fresh;
  capacity_ = capacity;
}

void EntryList::DestroyBlock() noexcept {
  for (uint32_t i = 0; i < size_; ++i) data_[i].~DictionaryEntry();
  if (data_ != Inline()) ::operator delete(data_);
  Reset();
}

void EntryList::Reset() noexcept {
  data_ = Inline();
  size_ = 0;
  capacity_ = 1;
}

namespace {

// What the block form alone took: a line is no larger for the tree.
struct BlockForm {
  alignas(DictionaryEntry) unsigned char first[sizeof(DictionaryEntry)];
  DictionaryEntry* data;
  uint32_t size, capacity;
};
static_assert(sizeof(EntryList) == sizeof(BlockForm), "the tree's address must fit in the block form's room");

}  // namespace
