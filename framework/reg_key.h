// An open registry key, closed when the owner goes.
#pragma once

#include "zanole/zanole.h"

class RegKey {
 public:
  explicit RegKey(HKEY key = nullptr) noexcept : key_(key) {}
  ~RegKey() { reset(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY get() const noexcept { return key_; }
  HKEY* put() noexcept {
    reset();
    return &key_;
  }
  void reset() noexcept {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_;
};
