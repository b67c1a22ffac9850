// Owner of one BSTR (SysFreeString on destruction). A null BSTR is the
// empty string.
#pragma once

#include <utility>

#include "hresult_error.h"

namespace zan {

class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(BSTR owned) noexcept : s_(owned) {}
  UniqueBstr(UniqueBstr&& other) noexcept : s_(other.release()) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { SysFreeString(s_); }

  // Copies of text; raise E_OUTOFMEMORY when the string cannot be made.
  static UniqueBstr FromText(const OLECHAR* text) { return Checked(SysAllocString(text), text != nullptr); }
  static UniqueBstr FromUnits(const OLECHAR* units, UINT count) {
    return Checked(SysAllocStringLen(units, count), true);
  }

  BSTR get() const noexcept { return s_; }
  UINT length() const noexcept { return SysStringLen(s_); }
  BSTR release() noexcept { return std::exchange(s_, nullptr); }
  void reset(BSTR owned = nullptr) noexcept {
    if (owned != s_) SysFreeString(s_);
    s_ = owned;
  }
  // For in-out parameters (SysReAllocString): the string stays.
  BSTR* addressof() noexcept { return &s_; }
  // For out parameters: frees the current string first.
  BSTR* put() noexcept {
    reset();
    return &s_;
  }

 private:
  static UniqueBstr Checked(BSTR s, bool expected) {
    if (!s && expected) ThrowHr(E_OUTOFMEMORY);
    return UniqueBstr(s);
  }
  BSTR s_ = nullptr;
};

}  // namespace zan
