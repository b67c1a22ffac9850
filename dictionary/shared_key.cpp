#include "shared_key.h"

#include <mutex>
#include <new>
#include <string_view>
#include <unordered_map>

struct SharedKey::Record {
  ULONG refs;
  VARIANT value;  // VT_BSTR
};

namespace {

using KeyText = std::basic_string_view<OLECHAR>;

// The strings in use, by content; guarded by its lock, since dictionaries
// of several apartments share it. It goes with the module when no key is
// left then, else with the last key: a host may keep lines past the
// module's statics at exit, and a module unloaded and loaded again must
// not leave a table behind each time.
struct KeyTable {
  std::mutex lock;
  std::unordered_map<KeyText, SharedKey::Record*> records;
  bool unloading = false;
};

KeyTable& Table() {
  static auto* table = new KeyTable();
  return *table;
}

struct TableKeeper {
  TableKeeper() { Table(); }  // made before, so destroyed after, any user's static
  ~TableKeeper() {
    KeyTable& table = Table();
    bool empty = false;
    {
      std::lock_guard<std::mutex> hold(table.lock);
      table.unloading = true;
      empty = table.records.empty();
    }
    if (empty) delete &table;
  }
} keeper;

const VARIANT kNoKey = [] {
  VARIANT v;
  VariantInit(&v);
  return v;
}();

}  // namespace

SharedKey SharedKey::Intern(const OLECHAR* text, UINT length) {
  KeyTable& table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  auto found = table.records.find(KeyText(text, length));
  if (found != table.records.end()) {
    ++found->second->refs;
    return SharedKey(found->second);
  }
  BSTR copy = SysAllocStringLen(text, length);
  if (!copy) throw std::bad_alloc();
  auto* record = new (std::nothrow) Record{1, {}};
  if (!record) {
    SysFreeString(copy);
    throw std::bad_alloc();
  }
  V_VT(&record->value) = VT_BSTR;
  V_BSTR(&record->value) = copy;
  try {
    table.records.emplace(KeyText(copy, length), record);
  } catch (...) {
    SysFreeString(copy);
    delete record;
    throw;
  }
  return SharedKey(record);
}

SharedKey::SharedKey(const SharedKey& other) noexcept : record_(other.record_) {
  if (record_) {
    std::lock_guard<std::mutex> hold(Table().lock);
    ++record_->refs;
  }
}

SharedKey& SharedKey::operator=(const SharedKey& other) noexcept {
  SharedKey copy(other);
  return *this = std::move(copy);
}

SharedKey& SharedKey::operator=(SharedKey&& other) noexcept {
  if (this != &other) {
    Release();
    record_ = other.record_;
    other.record_ = nullptr;
  }
  return *this;
}

const VARIANT* SharedKey::get() const noexcept { return record_ ? &record_->value : &kNoKey; }

void SharedKey::Release() noexcept {
  if (!record_) return;
  KeyTable& table = Table();
  Record* gone = nullptr;
  bool lastOfTable = false;
  {
    std::lock_guard<std::mutex> hold(table.lock);
    if (--record_->refs == 0) {
      BSTR text = V_BSTR(&record_->value);
      table.records.erase(KeyText(text, SysStringLen(text)));
      gone = record_;
      lastOfTable = table.unloading && table.records.empty();
    }
  }
  record_ = nullptr;
  if (lastOfTable) delete &table;
  if (gone) {
    SysFreeString(V_BSTR(&gone->value));
    delete gone;
  }
}
