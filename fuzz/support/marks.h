// The saved format has no escaping: information whose keys or values hold
// a piece of its marks (" @@ ", "_;_") need not read back as it was. The
// round-trip targets check such lines for safety only, not for sameness.
#pragma once

#include "base/unique_variant.h"
#include "zanole/zanole.h"

namespace zanfuzz {

inline bool HoldsAMark(const VARIANT& v) {
  if (V_VT(&v) != VT_BSTR || !V_BSTR(&v)) return false;
  const WString text(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  for (const WCHAR* piece : {u"@@", u"_;", u";_"})
    if (text.find(piece) != WString::npos) return true;
  return false;
}

inline bool LineHoldsAMark(Scripting::IDictionary* line) {
  zan::UniqueVariant keys, items;
  if (FAILED(line->Keys(keys.get())) || FAILED(line->Items(items.get()))) __builtin_trap();
  for (const zan::UniqueVariant* array : {&keys, &items}) {
    SAFEARRAY* values = V_ARRAY(array->get());
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(values, 1, &lower);
    SafeArrayGetUBound(values, 1, &upper);
    for (LONG at = lower; at <= upper; ++at) {
      zan::UniqueVariant value;
      if (SUCCEEDED(SafeArrayGetElement(values, &at, value.get())) && HoldsAMark(*value.get())) return true;
    }
  }
  return false;
}

}  // namespace zanfuzz
