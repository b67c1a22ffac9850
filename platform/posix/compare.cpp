// String and variant comparison. Strings compare case-sensitively in the
// user locale's collation through one cached ICU collator that works on the
// UTF-16 units directly.
#include <unicode/ucol.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "collation_rules.h"
#include "zanole/zanole.h"

namespace {

// The full tailoring as ICU's image of it, built with the library by
// zan_collation_image from the same rules; the rules stay for an ICU that
// will not take the image.
alignas(16) constexpr unsigned char kRuntimeImage[] = {
#include "collation_image.inc"
};

UCollator* Open(const char16_t* rules) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError parseError;
  UCollator* c = ucol_openRules(rules, -1, UCOL_DEFAULT, UCOL_TERTIARY, &parseError, &status);
  return U_SUCCESS(status) ? c : nullptr;
}

// The image refers to the root collation it tailors, which stays open as
// long as the image's collator does: for the process.
UCollator* OpenRuntimeCollator() {
  UErrorCode status = U_ZERO_ERROR;
  static UCollator* const root = ucol_open("", &status);
  UCollator* c = ucol_openBinary(kRuntimeImage, sizeof kRuntimeImage, root, &status);
  if (U_SUCCESS(status)) return c;
  ucol_close(c);
  return Open(zanole::kRuntimeRules);
}

// Created once each; ICU collators are safe for concurrent comparisons.
UCollator* Collator(bool ascii) {
  if (ascii) {
    static UCollator* const collator = Open(zanole::kAsciiRules);
    return collator;
  }
  static UCollator* const collator = OpenRuntimeCollator();
  return collator;
}

// Word sort: hyphens and apostrophes do not take part in the comparison of
// the rest of the text; among otherwise equal strings the one without them
// comes first, then the one whose first differing mark stands later, then
// the apostrophe before the hyphen.
int SpecialWeight(OLECHAR c) {
  switch (c) {
    case 0x0027: return 1;
    case 0xFF07: return 2;
    case 0x002D: return 3;
    case 0xFF0D: return 4;
    case 0x2013: return 5;  // en and em dashes read as hyphens
    case 0x2014: return 6;
    default: return 0;
  }
}

struct Special {
  int32_t position;
  int weight;
};

// What the comparison needs to know of a text before it starts: whether it
// holds a word-sort mark, and whether it is ASCII only. One pass.
struct Shape {
  bool special = false;
  bool ascii = true;
};

Shape ShapeOf(const OLECHAR* s, int32_t n) {
  Shape shape;
  OLECHAR any = 0;
  for (int32_t i = 0; i < n; ++i) {
    any |= s[i];
    if (SpecialWeight(s[i])) shape.special = true;
  }
  shape.ascii = any < 0x80;
  return shape;
}

void Split(const OLECHAR* s, int32_t n, std::vector<OLECHAR>* rest, std::vector<Special>* specials) {
  for (int32_t i = 0; i < n; ++i) {
    if (int w = SpecialWeight(s[i])) {
      specials->push_back({i, w});
    } else {
      rest->push_back(s[i]);
    }
  }
}

HRESULT CompareSpecials(const std::vector<Special>& a, const std::vector<Special>& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i].position != b[i].position) return a[i].position > b[i].position ? VARCMP_LT : VARCMP_GT;
    if (a[i].weight != b[i].weight) return a[i].weight < b[i].weight ? VARCMP_LT : VARCMP_GT;
  }
  return a.size() < b.size() ? VARCMP_LT : a.size() > b.size() ? VARCMP_GT : VARCMP_EQ;
}


HRESULT Collate(const OLECHAR* a, int32_t la, const OLECHAR* b, int32_t lb, bool ascii, ULONG flags) {
  UCollator* collator = Collator(ascii);
  if (!collator) return E_OUTOFMEMORY;
  UCollationResult r;
  if (flags & NORM_IGNORECASE) {
    // A private clone keeps the shared collator's strength untouched.
    UErrorCode status = U_ZERO_ERROR;
    UCollator* clone = ucol_clone(collator, &status);
    if (U_FAILURE(status)) return E_OUTOFMEMORY;
    ucol_setStrength(clone, UCOL_SECONDARY);
    r = ucol_strcoll(clone, a, la, b, lb);
    ucol_close(clone);
  } else {
    r = ucol_strcoll(collator, a, la, b, lb);
  }
  return r == UCOL_LESS ? VARCMP_LT : r == UCOL_EQUAL ? VARCMP_EQ : VARCMP_GT;
}

HRESULT CompareUnits(const OLECHAR* a, int32_t la, const OLECHAR* b, int32_t lb, ULONG flags) {
  const Shape sa = ShapeOf(a, la), sb = ShapeOf(b, lb);
  const bool ascii = sa.ascii && sb.ascii;
  if (!sa.special && !sb.special) return Collate(a, la, b, lb, ascii, flags);
  std::vector<OLECHAR> restA, restB;
  std::vector<Special> specialsA, specialsB;
  Split(a, la, &restA, &specialsA);
  Split(b, lb, &restB, &specialsB);
  HRESULT r = Collate(restA.data(), static_cast<int32_t>(restA.size()), restB.data(),
                      static_cast<int32_t>(restB.size()), ascii, flags);
  return r != VARCMP_EQ ? r : CompareSpecials(specialsA, specialsB);
}

// What VarCmp sees in one operand after dereferencing.
enum class Kind { Empty, Null, String, Integer, Real, Invalid };

struct Operand {
  Kind kind = Kind::Invalid;
  BSTR text = nullptr;
  LONGLONG integer = 0;
  double real = 0;
};

double DecimalToDouble(const DECIMAL& d) {
  double v = static_cast<double>(d.Hi32) * 18446744073709551616.0 + static_cast<double>(d.Lo64);
  v /= std::pow(10.0, d.scale);
  return (d.sign & DECIMAL_NEG) ? -v : v;
}

Operand Classify(const VARIANT* v) {
  Operand op;
  VARTYPE vt = V_VT(v);
  const void* p = vt == VT_DECIMAL ? static_cast<const void*>(&V_DECIMAL(v)) : &v->llVal;
  switch (vt) {
    case VT_EMPTY: op.kind = Kind::Empty; break;
    case VT_NULL: op.kind = Kind::Null; break;
    case VT_BSTR: op.kind = Kind::String; op.text = *static_cast<const BSTR*>(p); break;
    case VT_I1: op.kind = Kind::Integer; op.integer = *static_cast<const signed char*>(p); break;
    case VT_UI1: op.kind = Kind::Integer; op.integer = *static_cast<const BYTE*>(p); break;
    case VT_I2: op.kind = Kind::Integer; op.integer = *static_cast<const SHORT*>(p); break;
    case VT_UI2: op.kind = Kind::Integer; op.integer = *static_cast<const USHORT*>(p); break;
    case VT_BOOL: op.kind = Kind::Integer; op.integer = *static_cast<const VARIANT_BOOL*>(p); break;
    case VT_I4:
    case VT_INT: op.kind = Kind::Integer; op.integer = *static_cast<const LONG*>(p); break;
    case VT_UI4:
    case VT_UINT: op.kind = Kind::Integer; op.integer = *static_cast<const ULONG*>(p); break;
    case VT_I8: op.kind = Kind::Integer; op.integer = *static_cast<const LONGLONG*>(p); break;
    case VT_R4: op.kind = Kind::Real; op.real = *static_cast<const FLOAT*>(p); break;
    case VT_R8:
    case VT_DATE: op.kind = Kind::Real; op.real = *static_cast<const DOUBLE*>(p); break;
    case VT_CY: op.kind = Kind::Real; op.real = static_cast<const CY*>(p)->int64 / 10000.0; break;
    case VT_DECIMAL: op.kind = Kind::Real; op.real = DecimalToDouble(*static_cast<const DECIMAL*>(p)); break;
    default: break;
  }
  return op;
}

template <typename T>
HRESULT Order(T a, T b) {
  return a < b ? VARCMP_LT : b < a ? VARCMP_GT : VARCMP_EQ;
}

bool IsNumber(Kind k) { return k == Kind::Integer || k == Kind::Real; }

double AsReal(const Operand& o) {
  switch (o.kind) {
    case Kind::Integer: return static_cast<double>(o.integer);
    case Kind::Real: return o.real;
    default: return 0;
  }
}

HRESULT CompareNumbers(const Operand& a, const Operand& b) {
  if (a.kind == Kind::Integer && b.kind == Kind::Integer) return Order(a.integer, b.integer);
  return Order(AsReal(a), AsReal(b));
}

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID, ULONG dwFlags) {
  return CompareUnits(bstrLeft, static_cast<int32_t>(SysStringLen(bstrLeft)), bstrRight,
                      static_cast<int32_t>(SysStringLen(bstrRight)), dwFlags);
}

HRESULT STDAPICALLTYPE VarCmp(LPVARIANT pvarLeft, LPVARIANT pvarRight, LCID lcid, ULONG dwFlags) {
  if (!pvarLeft || !pvarRight) return E_INVALIDARG;
  // The runtime compares values, never references, and refuses unsigned
  // 64-bit numbers (on the right as a bad type, on the left as a mismatch);
  // error codes compare only with error codes.
  if ((V_VT(pvarLeft) & VT_BYREF) || (V_VT(pvarRight) & VT_BYREF)) return DISP_E_BADVARTYPE;
  if (V_VT(pvarRight) == VT_UI8) return DISP_E_BADVARTYPE;
  if (V_VT(pvarLeft) == VT_UI8) return DISP_E_TYPEMISMATCH;
  if (V_VT(pvarLeft) == VT_ERROR || V_VT(pvarRight) == VT_ERROR) {
    if (V_VT(pvarLeft) != V_VT(pvarRight)) return DISP_E_TYPEMISMATCH;
    return Order(V_ERROR(pvarLeft), V_ERROR(pvarRight));
  }
  Operand a = Classify(pvarLeft);
  Operand b = Classify(pvarRight);
  if (a.kind == Kind::Invalid || b.kind == Kind::Invalid) return DISP_E_BADVARTYPE;
  if (a.kind == Kind::Null || b.kind == Kind::Null) return VARCMP_NULL;
  if (a.kind == Kind::Empty && b.kind == Kind::Empty) return VARCMP_EQ;
  bool aText = a.kind == Kind::String || (a.kind == Kind::Empty && b.kind == Kind::String);
  bool bText = b.kind == Kind::String || (b.kind == Kind::Empty && a.kind == Kind::String);
  if (aText && bText) return VarBstrCmp(a.text, b.text, lcid, dwFlags);
  // A number is less than any string; empty counts as 0 against numbers.
  if (aText) return VARCMP_GT;
  if (bText) return VARCMP_LT;
  if (a.kind == Kind::Empty) a.kind = Kind::Integer;
  if (b.kind == Kind::Empty) b.kind = Kind::Integer;
  if (!IsNumber(a.kind) || !IsNumber(b.kind)) return DISP_E_BADVARTYPE;
  return CompareNumbers(a, b);
}

}  // extern "C"
