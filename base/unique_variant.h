// Owner of one VARIANT (VariantInit on construction, VariantClear on
// destruction). Copies go through VariantCopy and report its failure.
#pragma once

#include "hresult_error.h"

namespace zan {

class UniqueVariant {
 public:
  UniqueVariant() noexcept { VariantInit(&v_); }
  UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&v_); }

  // A copy of source; the copy's failure is returned, this one stays empty.
  // (const_cast: some SDK headers declare the source without const.)
  HRESULT CopyFrom(const VARIANT* source) noexcept { return VariantCopy(&v_, const_cast<VARIANT*>(source)); }

  VARIANT* get() noexcept { return &v_; }
  const VARIANT* get() const noexcept { return &v_; }
  VARIANT* operator->() noexcept { return &v_; }
  void Clear() noexcept { VariantClear(&v_); }
  // Hands the content to the caller and leaves this one empty.
  VARIANT Detach() noexcept {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

}  // namespace zan
