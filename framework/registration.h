// Counted, relative self-registration of a server. The server is
// registered under its bare file name, so whoever creates an object finds
// it through the library search order, and every registration is counted
// ("RefCount"): the entries go only when the last registration is undone,
// so several installers can share one copy.
#pragma once

#include "class_object_table.h"
#include "zanole/wstr.h"

// The module this code is linked into.
HMODULE ThisModule() noexcept;

// The module's file name without its folders ('\\' and, on Linux, '/'
// separate them); the whole name when the only separator leads it; empty
// when the platform reports no name.
WString GetModuleBaseName(HMODULE module);
// The same rule on a path.
WString BaseNameOf(const WString& path);

// The "RefCount" value of an open key, raised or lowered; returns the new
// count. A missing value, or one that is not a REG_DWORD, counts as 0; the
// value goes when the count reaches 0. Write failures are not reported.
DWORD AdjustRefCount(HKEY key, bool increment) noexcept;

// CLSID\{clsid}\subkey opened with full access, or null.
HKEY OpenClassSubkey(REFCLSID clsid, const WCHAR* subkey) noexcept;

struct RegistrationConfig {
  const GUID* libid;
  UINT appIdScript;    // 0 when the server registers no AppID
  const WCHAR* appId;  // the APPID replacement of every script
  bool switchThreadLocale;
};

class CModuleRegistration {
 public:
  CModuleRegistration(const CClassObjectTable& classes, const RegistrationConfig& config)
      : classes_(classes), config_(config) {}

  // The type-library index picks another library of the module ("\\2");
  // with one, only the type-library steps run. The exports pass none.
  HRESULT RegisterServer(const WCHAR* index) const noexcept;
  // S_FALSE while other registrations remain, S_OK for the last one.
  HRESULT UnregisterServer(const WCHAR* index) const noexcept;

  HRESULT UpdateClassRegistry(UINT script, bool doRegister, REFCLSID clsid) const noexcept;
  HRESULT UpdateAppIdRegistry(bool doRegister) const noexcept;

 private:
  HRESULT RunScript(UINT script, bool doRegister, bool appIdScript) const noexcept;
  HRESULT RegisterModule() const noexcept;
  HRESULT UnregisterModule() const noexcept;

  const CClassObjectTable& classes_;
  RegistrationConfig config_;
};
