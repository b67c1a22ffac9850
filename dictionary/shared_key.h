// A dictionary key as the dictionaries hold it: an immutable string shared
// by every dictionary that stores an identical key. A script's lines all
// hold "script source", and a million of them need it once.
#pragma once

#include "zanole/zanole.h"

class SharedKey {
 public:
  SharedKey() noexcept = default;
  // The shared copy of the text; throws std::bad_alloc.
  static SharedKey Intern(const OLECHAR* text, UINT length);
  SharedKey(const SharedKey& other) noexcept;
  SharedKey& operator=(const SharedKey& other) noexcept;
  SharedKey(SharedKey&& other) noexcept : record_(other.record_) { other.record_ = nullptr; }
  SharedKey& operator=(SharedKey&& other) noexcept;
  ~SharedKey() { Release(); }

  // A VT_BSTR VARIANT over the shared string, for comparing and copying;
  // never to be cleared.
  const VARIANT* get() const noexcept;

 // The shared string and its count; defined where the table lives.
  struct Record;

 private:
  explicit SharedKey(Record* record) noexcept : record_(record) {}
  void Release() noexcept;

  Record* record_ = nullptr;
};
