// GUID text in the registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} and
// the well-known interface ids.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "faults.h"
#include "zanole/zanole.h"

extern "C" {
const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeLib = {0x00020402, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IGlobalInterfaceTable = {0x00000146, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID CLSID_StdGlobalInterfaceTable = {0x00000323, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IEnumConnectionPoints = {
    0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IEnumConnections = {
    0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
}

namespace {

constexpr int kGuidChars = 38;  // without the NUL

int HexValue(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool ReadHex(const OLECHAR* s, int digits, uint64_t* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    int h = HexValue(s[i]);
    if (h < 0) return false;
    *value = (*value << 4) | static_cast<unsigned>(h);
  }
  return true;
}

bool HasGuidShape(LPCOLESTR s) {
  return WcsLen(s) == kGuidChars && s[0] == u'{' && s[9] == u'-' && s[14] == u'-' && s[19] == u'-' &&
         s[24] == u'-' && s[37] == u'}';
}

// Reads the digits of a text that has the GUID shape.
bool ParseGuid(LPCOLESTR s, GUID* out) {
  uint64_t v;
  GUID g;
  if (!ReadHex(s + 1, 8, &v)) return false;
  g.Data1 = static_cast<DWORD>(v);
  if (!ReadHex(s + 10, 4, &v)) return false;
  g.Data2 = static_cast<WORD>(v);
  if (!ReadHex(s + 15, 4, &v)) return false;
  g.Data3 = static_cast<WORD>(v);
  static constexpr int kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(s + kByteAt[i], 2, &v)) return false;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  *out = g;
  return true;
}

}  // namespace

extern "C" {

INT STDAPICALLTYPE StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, INT cchMax) {
  if (!lpsz || cchMax < kGuidChars + 1) return 0;
  char buf[kGuidChars + 1];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(rguid.Data1), rguid.Data2, rguid.Data3, rguid.Data4[0], rguid.Data4[1],
                rguid.Data4[2], rguid.Data4[3], rguid.Data4[4], rguid.Data4[5], rguid.Data4[6],
                rguid.Data4[7]);
  for (int i = 0; i <= kGuidChars; ++i) lpsz[i] = static_cast<OLECHAR>(buf[i]);
  return kGuidChars + 1;
}

HRESULT STDAPICALLTYPE StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (!lplpsz) return E_INVALIDARG;
  *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
  if (!*lplpsz) return E_OUTOFMEMORY;
  StringFromGUID2(rclsid, *lplpsz, kGuidChars + 1);
  return S_OK;
}

HRESULT STDAPICALLTYPE StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) {
  return StringFromCLSID(rclsid, lplpsz);
}

HRESULT STDAPICALLTYPE CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz || !*lpsz) {
    *pclsid = GUID_NULL;
    return S_OK;
  }
  return HasGuidShape(lpsz) && ParseGuid(lpsz, pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT STDAPICALLTYPE IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (!lpiid) return E_INVALIDARG;
  if (!lpsz) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  if (!HasGuidShape(lpsz)) return E_INVALIDARG;
  return ParseGuid(lpsz, lpiid) ? S_OK : CO_E_IIDSTRING;
}

LPVOID STDAPICALLTYPE CoTaskMemAlloc(SIZE_T cb) {
  return zanole::AllocationMayProceed() ? std::malloc(cb ? cb : 1) : nullptr;
}

LPVOID STDAPICALLTYPE CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (cb == 0) {
    std::free(pv);
    return nullptr;
  }
  return zanole::AllocationMayProceed() ? std::realloc(pv, cb) : nullptr;
}

void STDAPICALLTYPE CoTaskMemFree(LPVOID pv) { std::free(pv); }

}  // extern "C"
