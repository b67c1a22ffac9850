// Reading HKEY_CLASSES_ROOT in tests, on both targets.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

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

// The whole tree under path as text (keys, then each value's name, type and
// bytes, in sorted order), or "(no key)": two exports compare equal exactly
// when the trees are the same.
inline std::string RegistryTree(HKEY root, const WString& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)\n";
  std::vector<std::string> values;
  for (DWORD i = 0;; ++i) {
    WCHAR name[256];
    BYTE data[1024];
    DWORD chars = 256, type = 0, size = sizeof data;
    if (RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string line = "  " + Narrow(name, chars) + " (" + std::to_string(type) + ") =";
    static const char kHex[] = "0123456789abcdef";
    for (DWORD b = 0; b < size; ++b) (line += ' ') += {kHex[data[b] >> 4], kHex[data[b] & 15]};
    values.push_back(line + "\n");
  }
  std::vector<WString> subkeys;
  for (DWORD i = 0;; ++i) {
    WCHAR name[256];
    DWORD chars = 256;
    if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, chars);
  }
  RegCloseKey(key);
  std::sort(values.begin(), values.end());
  std::sort(subkeys.begin(), subkeys.end());
  std::string tree = Narrow(path.c_str()) + "\n";
  for (const std::string& v : values) tree += v;
  for (const WString& k : subkeys) tree += RegistryTree(root, path + OLESTR("\\") + k);
  return tree;
}

// Every key of HKEY_CLASSES_ROOT that registering the library may touch: the
// three classes and their ProgIDs, the AppID (by id and by file name), the
// type library and the interfaces it describes.
inline std::string ExportRegistration() {
  static const char* const kKeys[] = {
      "CLSID\\{40A814F1-0BD8-4387-9605-8D531606E8FE}", "CLSID\\{3A330F94-F073-4DDE-9EF6-372C2BE25262}",
      "CLSID\\{073CE6AD-9884-4393-B63E-FCB66755A9C5}", "Korvane.Script", "Korvane.Script.1", "Korvane.ScriptLoad",
      "Korvane.ScriptLoad.1", "Korvane.ZanDictionary", "Korvane.ZanDictionary.1",
      "AppID\\{EF1ED09A-5207-48C7-B5E7-EFF0E2B472CE}", "AppID\\ZanScript.DLL",
      "TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}", "Interface\\{E10CEC29-216F-4A5A-B211-2C4ACF7D92C8}",
      "Interface\\{BA397A14-330B-4ED8-B5C2-7063561384F3}", "Interface\\{63FBE2A4-E442-47D9-AAD5-0C804FA1FAF9}",
      "Interface\\{AA09571F-7D21-469A-B078-CBF080DA9DBC}", "Interface\\{0FA11E29-9C42-404D-A200-430F1CE25E11}",
      "Interface\\{702E0629-B254-427E-95BC-794C4EB3AB98}", "Interface\\{C3CD1511-89B6-457F-B826-4023DC37CC42}"};
  std::string all;
  for (const char* k : kKeys) all += RegistryTree(HKEY_CLASSES_ROOT, Wide(k));
  return all;
}

}  // namespace zantest
