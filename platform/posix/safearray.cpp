// SAFEARRAY: descriptor and data in separate blocks; the element VARTYPE is
// kept in the four bytes before the descriptor, as on Windows
// (FADF_HAVEVARTYPE). Bounds are stored last dimension first.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "faults.h"
#include "zanole/zanole.h"

namespace {

constexpr size_t kPrefix = 16;

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(IUnknown*);
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: return FADF_BSTR;
    case VT_UNKNOWN: return FADF_UNKNOWN;
    case VT_DISPATCH: return FADF_DISPATCH;
    case VT_VARIANT: return FADF_VARIANT;
    default: return 0;
  }
}

VARTYPE& StoredType(SAFEARRAY* psa) {
  return *reinterpret_cast<VARTYPE*>(reinterpret_cast<char*>(psa) - sizeof(DWORD));
}

uint64_t ElementCount(const SAFEARRAY* psa) {
  uint64_t n = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
  return n;
}

// Input dimension d (0-based, leftmost first) lives at the mirrored slot.
const SAFEARRAYBOUND& Bound(const SAFEARRAY* psa, UINT d) { return psa->rgsabound[psa->cDims - 1 - d]; }

bool ElementOffset(const SAFEARRAY* psa, const LONG* indices, uint64_t* offset) {
  uint64_t index = 0, stride = 1;
  for (UINT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& b = Bound(psa, d);
    int64_t rel = static_cast<int64_t>(indices[d]) - b.lLbound;
    if (rel < 0 || static_cast<uint64_t>(rel) >= b.cElements) return false;
    index += static_cast<uint64_t>(rel) * stride;
    stride *= b.cElements;
  }
  *offset = index * psa->cbElements;
  return true;
}

void ClearElements(SAFEARRAY* psa) {
  uint64_t n = ElementCount(psa);
  char* data = static_cast<char*>(psa->pvData);
  if (!data) return;
  for (uint64_t i = 0; i < n; ++i) {
    void* e = data + i * psa->cbElements;
    if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(static_cast<VARIANT*>(e));
    } else if (psa->fFeatures & FADF_BSTR) {
      SysFreeString(*static_cast<BSTR*>(e));
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
      if (IUnknown* u = *static_cast<IUnknown**>(e)) u->Release();
    }
  }
}

// Stores a copy of the caller's value in element e (whose old value is
// released), with the element type's copy semantics.
HRESULT StoreElement(SAFEARRAY* psa, void* e, void* pv) {
  if (psa->fFeatures & FADF_VARIANT) return VariantCopy(static_cast<VARIANT*>(e), static_cast<VARIANT*>(pv));
  if (psa->fFeatures & FADF_BSTR) {
    BSTR src = static_cast<BSTR>(pv);
    BSTR copy = nullptr;
    if (src) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src));
      if (!copy) return E_OUTOFMEMORY;
    }
    SysFreeString(*static_cast<BSTR*>(e));
    *static_cast<BSTR*>(e) = copy;
    return S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* fresh = static_cast<IUnknown*>(pv);
    if (fresh) fresh->AddRef();
    if (IUnknown* old = *static_cast<IUnknown**>(e)) old->Release();
    *static_cast<IUnknown**>(e) = fresh;
    return S_OK;
  }
  std::memcpy(e, pv, psa->cbElements);
  return S_OK;
}

HRESULT LoadElement(SAFEARRAY* psa, const void* e, void* pv) {
  if (psa->fFeatures & FADF_VARIANT) {
    // The destination is an out parameter: the runtime overwrites it without
    // reading (or clearing) what it held, which may be uninitialised.
    auto* out = static_cast<VARIANT*>(pv);
    VariantInit(out);
    return VariantCopy(out, static_cast<const VARIANT*>(e));
  }
  if (psa->fFeatures & FADF_BSTR) {
    BSTR src = *static_cast<const BSTR*>(e);
    BSTR copy = nullptr;
    if (src) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src));
      if (!copy) return E_OUTOFMEMORY;
    }
    *static_cast<BSTR*>(pv) = copy;
    return S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* u = *static_cast<IUnknown* const*>(e);
    if (u) u->AddRef();
    *static_cast<IUnknown**>(pv) = u;
    return S_OK;
  }
  std::memcpy(pv, e, psa->cbElements);
  return S_OK;
}

std::atomic<LONG> g_live{0};

SAFEARRAY* AllocDescriptor(UINT cDims) {
  if (!zanole::AllocationMayProceed()) return nullptr;
  size_t size = kPrefix + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
  char* block = static_cast<char*>(std::calloc(1, size));
  if (!block) return nullptr;
  g_live.fetch_add(1, std::memory_order_relaxed);
  return reinterpret_cast<SAFEARRAY*>(block + kPrefix);
}

void FreeDescriptor(SAFEARRAY* psa) {
  g_live.fetch_sub(1, std::memory_order_relaxed);
  std::free(reinterpret_cast<char*>(psa) - kPrefix);
}

}  // namespace

extern "C" {

SAFEARRAY* STDAPICALLTYPE SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  ULONG size = ElementSize(vt);
  if (!size || cDims == 0 || cDims > 0xFFFF || !rgsabound) return nullptr;
  SAFEARRAY* psa = AllocDescriptor(cDims);
  if (!psa) return nullptr;
  psa->cDims = static_cast<USHORT>(cDims);
  psa->fFeatures = FADF_HAVEVARTYPE | FeaturesOf(vt);
  psa->cbElements = size;
  StoredType(psa) = vt;
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
  uint64_t bytes = ElementCount(psa) * size;
  if (bytes > 0x7FFFFFFFu) {
    FreeDescriptor(psa);
    return nullptr;
  }
  if (bytes) {
    psa->pvData = std::calloc(1, static_cast<size_t>(bytes));
    if (!psa->pvData) {
      FreeDescriptor(psa);
      return nullptr;
    }
  }
  return psa;
}

SAFEARRAY* STDAPICALLTYPE SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound = {cElements, lLbound};
  SAFEARRAY* psa = SafeArrayCreate(vt, 1, &bound);
  if (psa) psa->fFeatures |= FADF_FIXEDSIZE;
  return psa;
}

HRESULT STDAPICALLTYPE SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  ClearElements(psa);
  std::free(psa->pvData);
  FreeDescriptor(psa);
  return S_OK;
}

HRESULT STDAPICALLTYPE SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy = AllocDescriptor(psa->cDims);
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, psa, sizeof(SAFEARRAY) + (psa->cDims - 1) * sizeof(SAFEARRAYBOUND));
  StoredType(copy) = StoredType(psa);
  copy->cLocks = 0;
  copy->pvData = nullptr;
  uint64_t n = ElementCount(psa);
  if (n) {
    copy->pvData = std::calloc(static_cast<size_t>(n), psa->cbElements);
    if (!copy->pvData) {
      FreeDescriptor(copy);
      return E_OUTOFMEMORY;
    }
    for (uint64_t i = 0; i < n; ++i) {
      size_t off = static_cast<size_t>(i * psa->cbElements);
      HRESULT hr = StoreElement(copy, static_cast<char*>(copy->pvData) + off,
                                (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH))
                                    ? *reinterpret_cast<void**>(static_cast<char*>(psa->pvData) + off)
                                    : static_cast<char*>(psa->pvData) + off);
      if (FAILED(hr)) {
        SafeArrayDestroy(copy);
        return hr;
      }
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT STDAPICALLTYPE SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT STDAPICALLTYPE SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT STDAPICALLTYPE SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  if (!pv && !(psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH))) return E_INVALIDARG;
  uint64_t offset;
  if (!ElementOffset(psa, rgIndices, &offset)) return DISP_E_BADINDEX;
  SafeArrayLock(psa);
  HRESULT hr = StoreElement(psa, static_cast<char*>(psa->pvData) + offset, pv);
  SafeArrayUnlock(psa);
  return hr;
}

HRESULT STDAPICALLTYPE SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices || !pv) return E_INVALIDARG;
  uint64_t offset;
  if (!ElementOffset(psa, rgIndices, &offset)) return DISP_E_BADINDEX;
  SafeArrayLock(psa);
  HRESULT hr = LoadElement(psa, static_cast<char*>(psa->pvData) + offset, pv);
  SafeArrayUnlock(psa);
  return hr;
}

HRESULT STDAPICALLTYPE SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = Bound(psa, nDim - 1).lLbound;
  return S_OK;
}

HRESULT STDAPICALLTYPE SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = Bound(psa, nDim - 1);
  *plUbound = static_cast<LONG>(static_cast<int64_t>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

UINT STDAPICALLTYPE SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT STDAPICALLTYPE SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT STDAPICALLTYPE SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  *pvt = StoredType(psa);
  return S_OK;
}

HRESULT STDAPICALLTYPE SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT STDAPICALLTYPE SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

LONG WINAPI ZanLiveSafeArrayCount() { return g_live.load(std::memory_order_relaxed); }

}  // extern "C"
