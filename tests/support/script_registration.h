// Script registered under its ProgID for the length of a test, as an
// installer would, pointing at the library under test (library suites
// only: they know its path).
#pragma once

#include <string>

#include "zanole/zanole.h"

namespace zantest {

class ScriptRegistration {
 public:
  ScriptRegistration() {
    const char* path = ZAN_LIBRARY_PATH;
    const WString module(path, path + std::char_traits<char>::length(path));
    ok_ = SUCCEEDED(CoInitialize(nullptr)) && Set(Key(OLESTR("\\InprocServer32")), module) &&
          Set(OLESTR("Korvane.Script\\CLSID"), Clsid());
  }
  ~ScriptRegistration() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, OLESTR("Korvane.Script"));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, Key(OLESTR("")).c_str());
    CoUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  static WString Clsid() {
    LPOLESTR text = nullptr;
    StringFromCLSID(CLSID_Script, &text);
    WString clsid = text ? text : OLESTR("");
    CoTaskMemFree(text);
    return clsid;
  }
  static WString Key(const WCHAR* below) { return WString(OLESTR("CLSID\\")) + Clsid() + below; }
  static bool Set(const WString& path, const WString& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return false;
    const LONG set = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
  }
  bool ok_ = false;
};

}  // namespace zantest
