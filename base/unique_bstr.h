// Owner of one BSTR (SysFreeString), with makers that raise when the
// string cannot be made. A null BSTR is the empty string.
#pragma once

#include "hresult_error.h"
#include "unique_any.h"

namespace zan {

class UniqueBstr : public UniqueAny<HandleTraits<BSTR, &closers::String>> {
 public:
  using UniqueAny::UniqueAny;

  // Copies of text; raise E_OUTOFMEMORY when the string cannot be made.
  static UniqueBstr FromText(const OLECHAR* text) { return Checked(SysAllocString(text), text != nullptr); }
  static UniqueBstr FromUnits(const OLECHAR* units, UINT count) {
    return Checked(SysAllocStringLen(units, count), true);
  }

  UINT length() const noexcept { return SysStringLen(get()); }

 private:
  static UniqueBstr Checked(BSTR s, bool expected) {
    if (!s && expected) ThrowHr(E_OUTOFMEMORY);
    return UniqueBstr(s);
  }
};

}  // namespace zan
