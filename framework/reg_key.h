// An open registry key, closed when the owner goes.
#pragma once

#include "zanole/zanole.h"

class RegKey {
 public:
  explicit RegKey(HKEY key = nullptr) noexcept : key_(key) {}
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY get() const noexcept { return key_; }
  HKEY* put() noexcept { return &key_; }

 private:
  HKEY key_;
};
