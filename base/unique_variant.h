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

// A VARIANT that owns a copy of text (VT_BSTR; a null text stays a null
// string). E_OUTOFMEMORY when the copy cannot be made; out is then empty.
inline HRESULT MakeVariantBstr(const OLECHAR* text, UniqueVariant* out) noexcept {
  out->Clear();
  BSTR copy = SysAllocString(text);
  if (text && !copy) return E_OUTOFMEMORY;
  V_VT(out->get()) = VT_BSTR;
  V_BSTR(out->get()) = copy;
  return S_OK;
}

// The same, raising E_OUTOFMEMORY.
inline UniqueVariant MakeVariantBstr(const OLECHAR* text) {
  UniqueVariant v;
  ThrowIfFailed(MakeVariantBstr(text, &v));
  return v;
}

// A string VARIANT that refers to a caller's BSTR without owning it: for
// handing a string to an interface that takes VARIANT*. Never clear it.
inline VARIANT VariantRefBstr(BSTR text) noexcept {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text;
  return v;
}

}  // namespace zan
