// Registered type libraries, with the keys the platform writes:
//   TypeLib\{libid}\major.minor             = the library's help string (or name)
//                               \FLAGS      = library flags, decimal
//                               \HELPDIR    = help directory
//                               \lcid\win32 = the path as given
//   Interface\{iid} for each automation interface (name, proxy/stub class,
//   TypeLib with Version).
// The standard OLE library is built in: it is what other libraries import.
#include <cstdio>
#include <string>

#include "typelib_data.h"

namespace zanole {

ITypeLib* NewTypeLib(std::shared_ptr<const TypeLibData> data);

namespace {

const GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const WCHAR kTypeLibProxy[] = u"{00020424-0000-0000-C000-000000000046}";
const WCHAR kDispatchProxy[] = u"{00020420-0000-0000-C000-000000000046}";

WString GuidText(REFGUID guid) {
  WCHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

WString Hex(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", value);
  return WString(buffer, buffer + std::char_traits<char>::length(buffer));
}

WString Decimal(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%u", value);
  return WString(buffer, buffer + std::char_traits<char>::length(buffer));
}

WString LibraryKey(REFGUID guid, WORD major, WORD minor) {
  return u"TypeLib\\" + GuidText(guid) + u"\\" + Hex(major) + u"." + Hex(minor);
}

WString LocaleKey(LCID lcid, SYSKIND syskind) {
  return Hex(lcid) + (syskind == SYS_WIN64 ? u"\\win64" : syskind == SYS_WIN16 ? u"\\win16" : u"\\win32");
}

// An owned registry key.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* put() { return &key_; }
  HKEY get() const { return key_; }
  bool Create(HKEY parent, const WString& name, DWORD* disposition = nullptr) {
    return RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key_, disposition) ==
           ERROR_SUCCESS;
  }
  bool Open(HKEY parent, const WString& name, REGSAM access = KEY_READ) {
    return RegOpenKeyExW(parent, name.c_str(), 0, access, &key_) == ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

bool SetString(HKEY key, LPCWSTR name, const WString& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
}

bool GetString(HKEY key, WString* value) {
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return false;
  WString text(bytes / sizeof(WCHAR) + 1, 0);
  if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
    return false;
  text.resize(WcsLen(text.c_str()));
  *value = text;
  return true;
}

// The registered version to use: the one asked for, else the highest minor
// version of the same major version above it.
bool FindVersion(REFGUID guid, WORD major, WORD minor, WString* versionKey) {
  Key lib;
  if (!lib.Open(HKEY_CLASSES_ROOT, u"TypeLib\\" + GuidText(guid))) return false;
  int best = -1;
  WCHAR name[64];
  for (DWORD i = 0;; ++i) {
    DWORD length = 64;
    if (RegEnumKeyExW(lib.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    unsigned keyMajor = 0, keyMinor = 0;
    std::string narrow(name, name + length);
    if (std::sscanf(narrow.c_str(), "%x.%x", &keyMajor, &keyMinor) != 2 || keyMajor != major || keyMinor < minor)
      continue;
    if (static_cast<int>(keyMinor) > best) best = static_cast<int>(keyMinor);
  }
  if (best < 0) return false;
  *versionKey = LibraryKey(guid, major, static_cast<WORD>(best));
  return true;
}

HRESULT QueryPath(REFGUID guid, WORD major, WORD minor, LCID lcid, WString* path) {
  WString version;
  if (!FindVersion(guid, major, minor, &version)) return TYPE_E_LIBNOTREGISTERED;
  // The locale asked for, its language alone, then neutral.
  for (LCID candidate : {lcid, static_cast<LCID>(PRIMARYLANGID(lcid)), static_cast<LCID>(0)}) {
    Key path32;
    if (path32.Open(HKEY_CLASSES_ROOT, version + u"\\" + LocaleKey(candidate, SYS_WIN32)) &&
        GetString(path32.get(), path))
      return S_OK;
  }
  return TYPE_E_LIBNOTREGISTERED;
}

bool RegistersInterface(TYPEKIND kind, const TYPEATTR* attr) {
  return (kind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION)) || kind == TKIND_DISPATCH;
}

void RegisterInterface(const TLIBATTR& lib, BSTR name, const TYPEATTR& type) {
  Key key;
  if (!key.Create(HKEY_CLASSES_ROOT, u"Interface\\" + GuidText(type.guid))) return;
  if (name) SetString(key.get(), nullptr, name);
  const WCHAR* proxy =
      type.typekind == TKIND_INTERFACE || (type.wTypeFlags & TYPEFLAG_FDUAL) ? kTypeLibProxy : kDispatchProxy;
  for (const WCHAR* sub : {u"ProxyStubClsid", u"ProxyStubClsid32"}) {
    Key stub;
    if (stub.Create(key.get(), sub)) SetString(stub.get(), nullptr, proxy);
  }
  Key typeLib;
  if (typeLib.Create(key.get(), u"TypeLib")) {
    SetString(typeLib.get(), nullptr, GuidText(lib.guid));
    SetString(typeLib.get(), u"Version", Hex(lib.wMajorVerNum) + u"." + Hex(lib.wMinorVerNum));
  }
}

// Calls visit(kind, attr) for each interface that registration couples to
// the library.
template <typename Visit>
void ForEachRegisteredInterface(ITypeLib* lib, Visit visit) {
  for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
    TYPEKIND kind;
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfoType(i, &kind)) || (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH) ||
        FAILED(lib->GetTypeInfo(i, &info)))
      continue;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      if (RegistersInterface(kind, attr)) visit(i, *attr);
      info->ReleaseTypeAttr(attr);
    }
    info->Release();
  }
}

}  // namespace

std::shared_ptr<const TypeLibData> StdOleTypeLib() {
  static const std::shared_ptr<const TypeLibData> library = [] {
    auto data = std::make_shared<TypeLibData>();
    data->attr = {kStdOle, 0, SYS_WIN32, 2, 0, 0};
    data->name = u"stdole";
    data->doc = u"OLE Automation";
    auto method = [](MEMBERID id, const char16_t* name, SHORT slot) {
      TlbFunc f;
      f.memid = id;
      f.name = name;
      f.vtableOffset = slot;
      f.flags = 0x1;  // FUNCFLAG_FRESTRICTED
      f.result.vt = VT_HRESULT;
      return f;
    };
    TlbType unknown;
    unknown.guid = IID_IUnknown;
    unknown.name = u"IUnknown";
    unknown.flags = TYPEFLAG_FHIDDEN;
    unknown.vtableSize = 12;
    unknown.funcs = {method(0x60000000, u"QueryInterface", 0), method(0x60000001, u"AddRef", 4),
                     method(0x60000002, u"Release", 8)};
    TlbType dispatch;
    dispatch.guid = IID_IDispatch;
    dispatch.name = u"IDispatch";
    dispatch.flags = TYPEFLAG_FRESTRICTED;
    dispatch.vtableSize = 28;
    dispatch.implTypes = {{0, 0}};
    dispatch.funcs = {method(0x60010000, u"GetTypeInfoCount", 12), method(0x60010001, u"GetTypeInfo", 16),
                      method(0x60010002, u"GetIDsOfNames", 20), method(0x60010003, u"Invoke", 24)};
    data->types = {unknown, dispatch};
    return data;
  }();
  return library;
}

}  // namespace zanole

using zanole::Key;

extern "C" {

HRESULT STDAPICALLTYPE QueryPathOfRegTypeLib(REFGUID guid, WORD wMaj, WORD wMin, LCID lcid, LPBSTR lpbstrPathName) {
  if (!lpbstrPathName) return E_INVALIDARG;
  *lpbstrPathName = nullptr;
  WString path;
  HRESULT hr = zanole::QueryPath(guid, wMaj, wMin, lcid, &path);
  if (FAILED(hr)) return hr;
  *lpbstrPathName = SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
  return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDAPICALLTYPE LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  if (IsEqualGUID(rguid, zanole::kStdOle) && wVerMajor == 2) {
    *pptlib = zanole::NewTypeLib(zanole::StdOleTypeLib());
    return S_OK;
  }
  WString path;
  HRESULT hr = zanole::QueryPath(rguid, wVerMajor, wVerMinor, lcid, &path);
  if (FAILED(hr)) return hr;
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, pptlib);
}

HRESULT STDAPICALLTYPE RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (!ptlib || !szFullPath) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  if (FAILED(ptlib->GetLibAttr(&attr))) return E_FAIL;
  HRESULT hr = S_OK;
  Key lib;
  if (lib.Create(HKEY_CLASSES_ROOT, zanole::LibraryKey(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum))) {
    BSTR name = nullptr, doc = nullptr;
    if (FAILED(ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr))) {
      hr = E_FAIL;
    } else if (doc || name) {
      zanole::SetString(lib.get(), nullptr, doc ? doc : name);
    }
    SysFreeString(name);
    SysFreeString(doc);
    Key path, flags, helpDir;
    if (hr != S_OK || !path.Create(lib.get(), zanole::LocaleKey(attr->lcid, attr->syskind)) ||
        !zanole::SetString(path.get(), nullptr, szFullPath))
      hr = E_FAIL;
    if (hr != S_OK || !flags.Create(lib.get(), u"FLAGS") ||
        !zanole::SetString(flags.get(), nullptr, zanole::Decimal(attr->wLibFlags)))
      hr = E_FAIL;
    DWORD disposition = 0;
    if (hr == S_OK && helpDir.Create(lib.get(), u"HELPDIR", &disposition)) {
      // Without a help directory a new key names the library's own folder;
      // an existing one is left as it is.
      WString dir;
      if (szHelpDir) {
        dir = szHelpDir;
      } else if (disposition == REG_CREATED_NEW_KEY) {
        dir = szFullPath;
        size_t cut = dir.find_last_of(u"\\/");
        dir.resize(cut == WString::npos ? 0 : cut);
      }
      if ((szHelpDir || disposition == REG_CREATED_NEW_KEY) && !zanole::SetString(helpDir.get(), nullptr, dir))
        hr = E_FAIL;
    } else {
      hr = E_FAIL;
    }
  } else {
    hr = E_FAIL;
  }
  if (hr == S_OK) {
    zanole::ForEachRegisteredInterface(ptlib, [&](UINT index, const TYPEATTR& type) {
      BSTR name = nullptr;
      ptlib->GetDocumentation(static_cast<INT>(index), &name, nullptr, nullptr, nullptr);
      zanole::RegisterInterface(*attr, name, type);
      SysFreeString(name);
    });
  }
  ptlib->ReleaseTLibAttr(attr);
  return hr;
}

HRESULT STDAPICALLTYPE UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
  WString path;
  WString version = zanole::LibraryKey(libID, wVerMajor, wVerMinor);
  Key lib, localePath;
  if (!localePath.Open(HKEY_CLASSES_ROOT, version + u"\\" + zanole::LocaleKey(lcid, syskind)) ||
      !zanole::GetString(localePath.get(), &path) || !lib.Open(HKEY_CLASSES_ROOT, version, KEY_ALL_ACCESS))
    return E_INVALIDARG;
  ITypeLib* loaded = nullptr;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded))) return TYPE_E_INVALIDSTATE;
  zanole::ForEachRegisteredInterface(loaded, [](UINT, const TYPEATTR& type) {
    WString name = u"Interface\\" + zanole::GuidText(type.guid);
    Key key;
    if (!key.Open(HKEY_CLASSES_ROOT, name, KEY_WRITE)) return;
    for (const WCHAR* sub : {u"ProxyStubClsid", u"ProxyStubClsid32", u"TypeLib"}) RegDeleteKeyW(key.get(), sub);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, name.c_str());
  });
  loaded->Release();
  WString locale = zanole::LocaleKey(lcid, syskind);
  RegDeleteKeyW(lib.get(), locale.c_str());
  RegDeleteKeyW(lib.get(), locale.substr(0, locale.find(u'\\')).c_str());
  // Only FLAGS and HELPDIR left: the version goes, and the library key
  // with it when no other version remains.
  bool othersRemain = false;
  WCHAR name[64];
  for (DWORD i = 0;; ++i) {
    DWORD length = 64;
    if (RegEnumKeyExW(lib.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    WString sub(name, length);
    if (sub != u"FLAGS" && sub != u"HELPDIR") othersRemain = true;
  }
  if (!othersRemain) {
    RegDeleteKeyW(lib.get(), u"FLAGS");
    RegDeleteKeyW(lib.get(), u"HELPDIR");
    RegDeleteKeyW(HKEY_CLASSES_ROOT, version.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, version.substr(0, version.rfind(u'\\')).c_str());
  }
  return S_OK;
}

}  // extern "C"
