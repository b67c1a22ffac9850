#include "registration.h"

#include <cstdio>

#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_bstr.h"
#include "reg_key.h"
#include "registry_script.h"
#include "zan_module.h"

namespace {

constexpr DWORD kPathChars = MAX_PATH;
constexpr size_t kIndexedPathChars = 269;
constexpr DWORD kRetryAfterMs = 172;

// The module's full path; a name that fills the whole buffer may be cut
// and counts as a failure.
HRESULT ModulePath(WString* path) {
  WCHAR buffer[kPathChars];
  DWORD length = GetModuleFileNameW(ThisModule(), buffer, kPathChars);
  if (length == 0) return zan::HResultFromLastError();
  if (length >= kPathChars) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path->assign(buffer, length);
  return S_OK;
}

// The module's type library: from the module itself (with the index), else
// from the .tlb file beside it. `used` is the path that loaded.
HRESULT LoadModuleTypeLib(const WCHAR* index, ITypeLib** lib, WString* used) {
  ZAN_RETURN_IF_FAILED(ModulePath(used));
  if (index) {
    ZAN_RETURN_HR_IF(E_FAIL, used->size() + WcsLen(index) > kIndexedPathChars);
    *used += index;
  }
  HRESULT hr = LoadTypeLib(used->c_str(), lib);
  if (FAILED(hr)) {
    size_t dot = used->rfind(u'.');
    size_t folder = used->find_last_of(OLESTR("\\/"));
    ZAN_RETURN_HR_IF(hr, dot == WString::npos || (folder != WString::npos && dot < folder));
    used->replace(dot, WString::npos, OLESTR(".tlb"));
    hr = LoadTypeLib(used->c_str(), lib);
  }
  ZAN_RETURN_HR(hr);
}

// "TypeLib\{libid}\major.minor\lcid\win32" (or "win64" for a library made
// for 64-bit hosts): the key the runtime writes for the library, where its
// registration count lives. A 32-bit and a 64-bit server registered side by
// side therefore keep separate counts.
WString TypeLibCountKey(const TLIBATTR& attr) {
  WCHAR guid[39];
  StringFromGUID2(attr.guid, guid, 39);
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, "\\%u.%u\\%u\\%s", attr.wMajorVerNum, attr.wMinorVerNum,
                static_cast<unsigned>(attr.lcid), attr.syskind == SYS_WIN64 ? "win64" : "win32");
  return OLESTR("TypeLib\\") + WString(guid) + WString(numbers, numbers + std::char_traits<char>::length(numbers));
}

// The registry view of a server of the other width. 64-bit Windows keeps
// class keys apart per width but shares ProgIDs and the type library key
// (which holds one subkey per width); where there is one view only the flag
// is ignored and names this process's own keys.
constexpr REGSAM kOtherWidthView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

const WCHAR kRefCount[] = OLESTR("RefCount");

// The count a key holds; anything but a REG_DWORD counts as none.
DWORD QueryRefCount(HKEY key) noexcept {
  DWORD type = 0, count = 0, size = sizeof count;
  if (RegQueryValueExW(key, kRefCount, nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof count)
    return 0;
  return count;
}

DWORD ReadRefCount(HKEY root, const WCHAR* subkey, REGSAM view) noexcept {
  RegKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return 0;
  return QueryRefCount(key.get());
}

// The count key of the same library registered for the other width.
WString OtherWidthCountKey(const WString& countKey) {
  size_t width = countKey.size() - 2;
  return countKey.substr(0, width) + (countKey.compare(width, 2, OLESTR("64")) == 0 ? OLESTR("32") : OLESTR("64"));
}

// Saves the thread locale, sets the system default, restores it on leaving.
class SystemLocaleScope {
 public:
  explicit SystemLocaleScope(bool active) : active_(active), saved_(active ? GetThreadLocale() : 0) {
    if (active_) SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
  }
  ~SystemLocaleScope() {
    if (active_) SetThreadLocale(saved_);
  }
  SystemLocaleScope(const SystemLocaleScope&) = delete;
  SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

 private:
  bool active_;
  LCID saved_;
};

// Some SDKs declare the paths without const; the platform only reads them.
HRESULT RegisterTypeLibAt(ITypeLib* lib, const WCHAR* path, const WCHAR* helpDir) {
  return RegisterTypeLib(lib, const_cast<OLECHAR*>(path), const_cast<OLECHAR*>(helpDir));
}

}  // namespace

HMODULE ThisModule() noexcept {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

WString GetModuleBaseName(HMODULE module) {
  WCHAR buffer[kPathChars];
  DWORD length = GetModuleFileNameW(module, buffer, kPathChars);
  if (length == 0) return WString();
  return BaseNameOf(WString(buffer, length < kPathChars ? length : kPathChars - 1));
}

WString BaseNameOf(const WString& path) {
  size_t separator = path.find_last_of(OLESTR("\\/"));
  return separator == WString::npos || separator == 0 ? path : path.substr(separator + 1);
}

DWORD AdjustRefCount(HKEY key, bool increment) noexcept {
  DWORD count = QueryRefCount(key);
  if (increment) {
    ++count;
  } else if (count >= 2) {
    --count;
  } else {
    if (count == 1) RegDeleteValueW(key, kRefCount);
    return 0;
  }
  RegSetValueExW(key, kRefCount, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
  return count;
}

WString ClassKeyName(REFCLSID clsid) {
  WCHAR guid[39];
  StringFromGUID2(clsid, guid, 39);
  return OLESTR("CLSID\\") + WString(guid);
}

HKEY OpenClassSubkey(REFCLSID clsid, const WCHAR* subkey) noexcept {
  if (!subkey) return nullptr;
  WString name = ClassKeyName(clsid) + OLESTR("\\") + subkey;
  if (name.size() >= 256) return nullptr;
  HKEY key = nullptr;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ? key : nullptr;
}

HRESULT CModuleRegistration::RunScript(UINT script, bool doRegister, bool appIdScript) const noexcept {
  try {
    WString path;
    ZAN_RETURN_IF_FAILED(ModulePath(&path));
    CRegistryScript registrar;
    // The caller's replacements, then the module's, then the module path.
    if (appIdScript) registrar.AddReplacement(OLESTR("APPID"), config_.appId);
    registrar.AddReplacement(OLESTR("RELATIVE_PATH"), GetModuleBaseName(ThisModule()));
    if (config_.appId) registrar.AddReplacement(OLESTR("APPID"), config_.appId);
    WString quoted;
    for (WCHAR c : path) {
      quoted += c;
      if (c == u'\'') quoted += c;
    }
    registrar.AddReplacement(OLESTR("Module"), quoted);
    registrar.AddReplacement(OLESTR("Module_Raw"), quoted);
    return registrar.RunResource(path.c_str(), script, doRegister);
  }
  ZAN_CATCH_RETURN()
}

HRESULT CModuleRegistration::UpdateClassRegistry(UINT script, bool doRegister, REFCLSID clsid) const noexcept {
  if (doRegister) ZAN_RETURN_IF_FAILED(RunScript(script, true, false));
  // The script made the key that holds the count.
  RegKey server(OpenClassSubkey(clsid, OLESTR("InprocServer32")));
  ZAN_RETURN_HR_IF_NULL(E_FAIL, server.get());
  DWORD count = AdjustRefCount(server.get(), doRegister);
  if (doRegister || count != 0) return S_OK;
  server.reset();
  // Our count is gone from our key, so a count seen through the other view
  // is a server of the other width: it keeps the shared ProgIDs, and only
  // the class key of this width goes.
  WString classKey = ClassKeyName(clsid);
  if (ReadRefCount(HKEY_CLASSES_ROOT, (classKey + OLESTR("\\InprocServer32")).c_str(), kOtherWidthView) != 0)
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
  else
    RunScript(script, false, false);
  return S_OK;
}

HRESULT CModuleRegistration::UpdateAppIdRegistry(bool doRegister) const noexcept {
  return config_.appIdScript ? RunScript(config_.appIdScript, doRegister, true) : S_OK;
}

HRESULT CModuleRegistration::RegisterModule() const noexcept {
  SystemLocaleScope locale(config_.switchThreadLocale);
  HRESULT hr = UpdateAppIdRegistry(true);
  for (ObjectMapEntry* e = classes_.begin(); SUCCEEDED(hr) && e != classes_.end(); ++e)
    hr = UpdateClassRegistry(e->registryScript, true, *e->clsid);
  ZAN_RETURN_IF_FAILED(hr);
  zan::ComPtr<ITypeLib> lib;
  WString path;
  ZAN_RETURN_IF_FAILED(LoadModuleTypeLib(nullptr, lib.put(), &path));
  zan::UniqueBstr helpFile;
  if (SUCCEEDED(lib->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put()))) {
    WString dir(helpFile.get() ? helpFile.get() : OLESTR(""));
    size_t folder = dir.find_last_of(OLESTR("\\/"));
    dir.resize(folder == WString::npos ? 0 : folder);
    return RegisterTypeLibAt(lib.get(), path.c_str(), dir.c_str());
  }
  return RegisterTypeLibAt(lib.get(), path.c_str(), nullptr);
}

HRESULT CModuleRegistration::UnregisterModule() const noexcept {
  SystemLocaleScope locale(config_.switchThreadLocale);
  HRESULT hr = S_OK;
  for (ObjectMapEntry* e = classes_.begin(); SUCCEEDED(hr) && e != classes_.end(); ++e)
    hr = UpdateClassRegistry(e->registryScript, false, *e->clsid);
  // Not counted: the AppID goes whenever every class could be reached.
  if (SUCCEEDED(hr)) hr = UpdateAppIdRegistry(false);
  return hr;
}

HRESULT CModuleRegistration::RegisterServer(const WCHAR* index) const noexcept {
  try {
    // Counts are read and written in two steps: one registration at a time.
    ModuleCriticalSectionLock hold;
    if (!index) ZAN_RETURN_IF_FAILED(RegisterModule());
    zan::ComPtr<ITypeLib> lib;
    WString path;
    ZAN_RETURN_IF_FAILED(LoadModuleTypeLib(index, lib.put(), &path));
    // The bare name replaces the full path the module step wrote; a failure
    // here leaves that path registered and is not reported.
    WString relative = GetModuleBaseName(ThisModule()) + (index ? index : OLESTR(""));
    if (FAILED(RegisterTypeLibAt(lib.get(), relative.c_str(), OLESTR("")))) {
      Sleep(kRetryAfterMs);
      RegisterTypeLibAt(lib.get(), relative.c_str(), OLESTR(""));
    }
    TLIBATTR* attr = nullptr;
    ZAN_RETURN_IF_FAILED(lib->GetLibAttr(&attr));
    WString countKey = TypeLibCountKey(*attr);
    lib->ReleaseTLibAttr(attr);
    RegKey key;
    ZAN_RETURN_HR_IF(E_FAIL, RegOpenKeyExW(HKEY_CLASSES_ROOT, countKey.c_str(), 0, KEY_ALL_ACCESS, key.put()) !=
                                 ERROR_SUCCESS);
    AdjustRefCount(key.get(), true);
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

HRESULT CModuleRegistration::UnregisterServer(const WCHAR* index) const noexcept {
  try {
    ModuleCriticalSectionLock hold;
    zan::ComPtr<ITypeLib> lib;
    WString path;
    ZAN_RETURN_IF_FAILED(LoadModuleTypeLib(index, lib.put(), &path));
    TLIBATTR* attr = nullptr;
    ZAN_RETURN_IF_FAILED(lib->GetLibAttr(&attr));
    TLIBATTR libAttr = *attr;
    lib->ReleaseTLibAttr(attr);
    WString countKey = TypeLibCountKey(libAttr);
    RegKey key;
    ZAN_RETURN_HR_IF(E_FAIL, RegOpenKeyExW(HKEY_CLASSES_ROOT, countKey.c_str(), 0, KEY_ALL_ACCESS, key.put()) !=
                                 ERROR_SUCCESS);
    HRESULT hr = S_OK;
    DWORD remaining = AdjustRefCount(key.get(), false);
    key.reset();
    if (!index) UnregisterModule();
    if (remaining != 0) {
      WString relative = GetModuleBaseName(ThisModule()) + (index ? index : OLESTR(""));
      hr = RegisterTypeLibAt(lib.get(), relative.c_str(), OLESTR(""));
    } else if (ReadRefCount(HKEY_CLASSES_ROOT, OtherWidthCountKey(countKey).c_str(), 0) != 0) {
      // The other width still holds the library, and the interface keys
      // the runtime would remove with it are the same for both widths:
      // only this width's subkey goes.
      LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, countKey.c_str());
      hr = status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
    } else {
      // The runtime loads the library from its registered path to find the
      // interfaces it removes; the bare name registered for hosts is found
      // only from the library's own folder, so an installer elsewhere would
      // fail here and leave the library registered. The full path first.
      RegisterTypeLibAt(lib.get(), path.c_str(), OLESTR(""));
      hr = UnRegisterTypeLib(libAttr.guid, libAttr.wMajorVerNum, libAttr.wMinorVerNum, libAttr.lcid,
                             libAttr.syskind);
    }
    ZAN_RETURN_IF_FAILED(hr);
    return remaining != 0 ? S_FALSE : S_OK;
  }
  ZAN_CATCH_RETURN()
}
