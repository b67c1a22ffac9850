// VARIANT lifetime and conversion to text.
#include <cstring>
#include <string>

#include "valuetext.h"
#include "zanole/zanole.h"

namespace {

bool IsValidType(VARTYPE vt) {
  if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
  VARTYPE base = vt & VT_TYPEMASK;
  if (base == 15) return false;
  if (base > VT_UINT && base != VT_RECORD && base != VT_INT_PTR && base != VT_UINT_PTR)
    return false;
  if ((vt & VT_ARRAY) && (base == VT_EMPTY || base == VT_NULL)) return false;
  return true;
}

BSTR AllocAscii(const std::string& text) {
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
  if (!out) return nullptr;
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<OLECHAR>(text[i]);
  return out;
}

// The text of a non-reference value, or a failure HRESULT.
HRESULT TextOf(VARTYPE vt, const void* p, USHORT flags, BSTR* out) {
  std::string text;
  switch (vt) {
    case VT_EMPTY: text = ""; break;
    case VT_I1: text = std::to_string(*static_cast<const signed char*>(p)); break;
    case VT_UI1: text = std::to_string(*static_cast<const BYTE*>(p)); break;
    case VT_I2: text = std::to_string(*static_cast<const SHORT*>(p)); break;
    case VT_UI2: text = std::to_string(*static_cast<const USHORT*>(p)); break;
    case VT_I4:
    case VT_INT: text = std::to_string(*static_cast<const LONG*>(p)); break;
    case VT_UI4:
    case VT_UINT: text = std::to_string(*static_cast<const ULONG*>(p)); break;
    case VT_I8: text = std::to_string(*static_cast<const LONGLONG*>(p)); break;
    case VT_UI8: text = std::to_string(*static_cast<const ULONGLONG*>(p)); break;
    case VT_R4: text = zanole::RealText(*static_cast<const FLOAT*>(p), 7); break;
    case VT_R8: text = zanole::RealText(*static_cast<const DOUBLE*>(p), 15); break;
    case VT_CY: text = zanole::CurrencyText(*static_cast<const CY*>(p)); break;
    case VT_DECIMAL: text = zanole::DecimalText(*static_cast<const DECIMAL*>(p)); break;
    case VT_DATE:
      if (!zanole::DateText(*static_cast<const DATE*>(p), &text)) return E_INVALIDARG;
      break;
    case VT_BOOL: {
      bool truth = *static_cast<const VARIANT_BOOL*>(p) != VARIANT_FALSE;
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
        text = truth ? "True" : "False";
      } else {
        text = truth ? "-1" : "0";
      }
      break;
    }
    case VT_BSTR: {
      BSTR s = *static_cast<const BSTR*>(p);
      *out = SysAllocStringLen(s, SysStringLen(s));
      return *out ? S_OK : E_OUTOFMEMORY;
    }
    default: return DISP_E_TYPEMISMATCH;
  }
  *out = AllocAscii(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

extern "C" {

void STDAPICALLTYPE VariantInit(VARIANTARG* pvarg) {
  if (pvarg) V_VT(pvarg) = VT_EMPTY;
}

HRESULT STDAPICALLTYPE VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  VARTYPE vt = V_VT(pvarg);
  if (!IsValidType(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(V_ARRAY(pvarg));
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(V_BSTR(pvarg));
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (V_UNKNOWN(pvarg)) V_UNKNOWN(pvarg)->Release();
    }
  }
  V_VT(pvarg) = VT_EMPTY;
  return S_OK;
}

HRESULT STDAPICALLTYPE VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  VARTYPE vt = V_VT(pvargSrc);
  if (!IsValidType(vt)) return DISP_E_BADVARTYPE;
  if ((vt & VT_TYPEMASK) == VT_RECORD && !(vt & VT_BYREF)) return E_NOTIMPL;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  VARIANT copy;
  std::memcpy(&copy, pvargSrc, sizeof copy);
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      if (V_ARRAY(pvargSrc)) {
        hr = SafeArrayCopy(V_ARRAY(pvargSrc), &V_ARRAY(&copy));
        if (FAILED(hr)) return hr;
      }
    } else if (vt == VT_BSTR) {
      BSTR s = V_BSTR(pvargSrc);
      if (s) {
        V_BSTR(&copy) = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
        if (!V_BSTR(&copy)) return E_OUTOFMEMORY;
      }
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (V_UNKNOWN(&copy)) V_UNKNOWN(&copy)->AddRef();
    }
  }
  std::memcpy(pvargDest, &copy, sizeof copy);
  return S_OK;
}

HRESULT STDAPICALLTYPE VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (!pvarDest || !pvargSrc) return E_INVALIDARG;
  VARTYPE vt = V_VT(pvargSrc);
  if (!(vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  if (!IsValidType(vt)) return DISP_E_BADVARTYPE;
  if (!V_BYREF(pvargSrc)) return E_INVALIDARG;
  VARTYPE base = vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    const VARIANT* inner = V_VARIANTREF(pvargSrc);
    if (V_VT(inner) == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
    return VariantCopyInd(pvarDest, inner);
  }
  // Rebuild the referenced value in place of the reference, then copy it
  // with the ordinary rules (strings, arrays and interfaces duplicated).
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = base;
  if (base == VT_DECIMAL) {
    std::memcpy(&V_DECIMAL(&value), V_BYREF(pvargSrc), sizeof(DECIMAL));
    V_VT(&value) = VT_DECIMAL;
  } else if (base & VT_ARRAY) {
    V_ARRAY(&value) = *V_ARRAYREF(pvargSrc);
  } else {
    size_t size = 0;
    switch (base) {
      case VT_I1: case VT_UI1: size = 1; break;
      case VT_I2: case VT_UI2: case VT_BOOL: size = 2; break;
      case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: size = 4; break;
      case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: size = 8; break;
      case VT_BSTR: case VT_UNKNOWN: case VT_DISPATCH: size = sizeof(void*); break;
      default: return DISP_E_BADVARTYPE;
    }
    std::memcpy(&value.llVal, V_BYREF(pvargSrc), size);
  }
  VARIANT copy;
  VariantInit(&copy);
  HRESULT hr = VariantCopy(&copy, &value);
  if (FAILED(hr)) return hr;
  // The destination may be the source: clear it only now.
  hr = VariantClear(pvarDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvarDest = copy;
  return S_OK;
}

HRESULT STDAPICALLTYPE VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID,
                                           USHORT wFlags, VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  VARTYPE from = V_VT(pvarSrc);
  if (!IsValidType(from) || !IsValidType(vt)) return DISP_E_BADVARTYPE;
  if (from == vt) return VariantCopy(pvargDest, pvarSrc);
  if (vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
  const void* p = &pvarSrc->llVal;
  if (from & VT_BYREF) {
    from &= ~VT_BYREF;
    p = V_BYREF(pvarSrc);
    if (!p) return E_INVALIDARG;
    if (from == VT_VARIANT) return VariantChangeTypeEx(pvargDest, static_cast<const VARIANT*>(p), 0, wFlags, vt);
  } else if (from == VT_DECIMAL) {
    p = &V_DECIMAL(pvarSrc);
  }
  if (from & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  BSTR text = nullptr;
  HRESULT hr = TextOf(from, p, wFlags, &text);
  if (FAILED(hr)) return hr;
  // The source may be the destination; clear only once the text exists.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    SysFreeString(text);
    return hr;
  }
  V_VT(pvargDest) = VT_BSTR;
  V_BSTR(pvargDest) = text;
  return S_OK;
}

HRESULT STDAPICALLTYPE VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                         USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

}  // extern "C"
