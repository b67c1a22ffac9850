// Reading HKEY_CLASSES_ROOT in tests, on both targets.
#pragma once

#include <string>

#include "support/hresult.h"

namespace zantest {

inline WString Wide(const char* s) { return WString(s, s + std::char_traits<char>::length(s)); }

// A string value as text, or "(no key)", "(no value)", "(not a string)".
inline std::string RegistryString(const char* path, const WCHAR* name = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
  WCHAR buffer[512] = {};
  DWORD type = 0, size = sizeof buffer - sizeof(WCHAR);
  LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "(no value)";
  return type == REG_SZ ? Narrow(buffer) : "(not a string)";
}

}  // namespace zantest
