// Owner of one VARIANT (VariantInit when it holds nothing, VariantClear to
// give its content back): the owner template over the VARIANT itself.
// Copies go through VariantCopy and report its failure.
#pragma once

#include "hresult_error.h"
#include "unique_any.h"

namespace zan {

struct VariantTraits {
  using Type = VARIANT;
  static VARIANT Invalid() noexcept {
    VARIANT v;
    VariantInit(&v);
    return v;
  }
  static bool IsValid(const VARIANT& v) noexcept { return V_VT(&v) != VT_EMPTY; }
  static void Close(VARIANT& v) noexcept { VariantClear(&v); }
};

class UniqueVariant : private UniqueAny<VariantTraits> {
 public:
  UniqueVariant() noexcept = default;
  explicit UniqueVariant(VARIANT owned) noexcept : UniqueAny(owned) {}

  // A copy of source; the copy's failure is returned, this one stays empty.
  // (const_cast: some SDK headers declare the source without const.)
  HRESULT CopyFrom(const VARIANT* source) noexcept { return VariantCopy(get(), const_cast<VARIANT*>(source)); }

  VARIANT* get() noexcept { return addressof(); }
  const VARIANT* get() const noexcept { return addressof(); }
  VARIANT* operator->() noexcept { return get(); }
  void Clear() noexcept { reset(); }
  // Hands the content to the caller and leaves this one empty.
  VARIANT Detach() noexcept { return release(); }
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
