// The process-wide HKEY_CLASSES_ROOT tree. Key and value names compare
// case-insensitively, subkeys enumerate in that order, values in the order
// they were created. A deleted key stays usable by open handles only to
// report ERROR_KEY_DELETED.
#include <unicode/uchar.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "errors.h"
#include "utf8_text.h"
#include "zanole/zanole.h"

namespace {

struct RegValue {
  std::u16string name;
  DWORD type;
  std::vector<BYTE> data;
};

struct RegKey {
  std::u16string name;
  std::map<std::u16string, std::shared_ptr<RegKey>> subkeys;  // by folded name
  std::vector<RegValue> values;
  bool deleted = false;
};

struct KeyHandle {
  std::shared_ptr<RegKey> key;
};

std::u16string Fold(const std::u16string& s) {
  std::u16string out(s);
  for (char16_t& c : out) c = static_cast<char16_t>(u_toupper(c));
  return out;
}

std::vector<std::u16string> SplitPath(LPCWSTR path) {
  std::vector<std::u16string> parts;
  if (!path) return parts;
  std::u16string current;
  for (const WCHAR* p = path; *p; ++p) {
    if (*p == u'\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += *p;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

class Registry {
 public:
  Registry() { Reset(); }

  std::mutex lock;
  std::shared_ptr<RegKey> root;
  std::set<KeyHandle*> handles;

  void Reset() {
    root = std::make_shared<RegKey>();
    root->name = u"HKEY_CLASSES_ROOT";
    for (const char16_t* key : {u"CLSID", u"Interface", u"TypeLib", u"AppID"}) Create(root, SplitPath(key));
    // The platform's own dictionary is registered by ProgID; its server is
    // not part of this platform.
    const std::u16string clsid = u"{EE09B103-97E0-11CF-978F-00A02463E06F}";
    SetString(Create(root, SplitPath(u"Scripting.Dictionary")), u"Scripting.Dictionary");
    SetString(Create(root, SplitPath(u"Scripting.Dictionary\\CLSID")), clsid);
    SetString(Create(root, SplitPath((u"CLSID\\" + clsid).c_str())), u"Scripting.Dictionary");
    SetString(Create(root, SplitPath((u"CLSID\\" + clsid + u"\\ProgID").c_str())), u"Scripting.Dictionary");
  }

  // The key from an HKEY, or null for a handle that is not open.
  std::shared_ptr<RegKey> Resolve(HKEY h) {
    if (h == HKEY_CLASSES_ROOT) return root;
    auto* handle = reinterpret_cast<KeyHandle*>(h);
    if (!handles.count(handle)) return nullptr;
    return handle->key;
  }

  // The open, undeleted key behind h.
  LSTATUS Live(HKEY h, std::shared_ptr<RegKey>* key) {
    *key = Resolve(h);
    if (!*key) return ERROR_INVALID_HANDLE;
    return (*key)->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
  }

  // Deletes the last key of path below base, refusing one that still has
  // subkeys unless the whole tree is meant.
  static LSTATUS DeleteBelow(const std::shared_ptr<RegKey>& base, const std::vector<std::u16string>& path,
                             bool tree) {
    auto parent = Find(base, std::vector<std::u16string>(path.begin(), path.end() - 1));
    if (!parent || parent->deleted) return ERROR_FILE_NOT_FOUND;
    auto it = parent->subkeys.find(Fold(path.back()));
    if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    // Like Windows: a key that still has subkeys is refused.
    if (!tree && !it->second->subkeys.empty()) return ERROR_ACCESS_DENIED;
    MarkDeleted(*it->second);
    parent->subkeys.erase(it);
    return ERROR_SUCCESS;
  }

  HKEY Open(std::shared_ptr<RegKey> key) {
    auto handle = std::make_unique<KeyHandle>(KeyHandle{std::move(key)});
    handles.insert(handle.get());
    return reinterpret_cast<HKEY>(handle.release());
  }

  static std::shared_ptr<RegKey> Find(std::shared_ptr<RegKey> key, const std::vector<std::u16string>& path) {
    for (const auto& part : path) {
      auto it = key->subkeys.find(Fold(part));
      if (it == key->subkeys.end()) return nullptr;
      key = it->second;
    }
    return key;
  }

  static std::shared_ptr<RegKey> Create(std::shared_ptr<RegKey> key, const std::vector<std::u16string>& path,
                                        bool* created = nullptr) {
    if (created) *created = false;
    for (const auto& part : path) {
      auto& slot = key->subkeys[Fold(part)];
      if (!slot) {
        slot = std::make_shared<RegKey>();
        slot->name = part;
        if (created) *created = true;
      }
      key = slot;
    }
    return key;
  }

  static void SetString(const std::shared_ptr<RegKey>& key, const std::u16string& text) {
    std::vector<BYTE> data((text.size() + 1) * sizeof(char16_t));
    std::memcpy(data.data(), text.c_str(), data.size());
    SetValue(key, u"", REG_SZ, std::move(data));
  }

  static RegValue* FindValue(RegKey& key, const std::u16string& name) {
    std::u16string folded = Fold(name);
    for (RegValue& v : key.values)
      if (Fold(v.name) == folded) return &v;
    return nullptr;
  }

  static void SetValue(const std::shared_ptr<RegKey>& key, const std::u16string& name, DWORD type,
                       std::vector<BYTE> data) {
    if (RegValue* v = FindValue(*key, name)) {
      v->type = type;
      v->data = std::move(data);
    } else {
      key->values.push_back({name, type, std::move(data)});
    }
  }

  static void MarkDeleted(RegKey& key) {
    key.deleted = true;
    for (auto& sub : key.subkeys) MarkDeleted(*sub.second);
  }
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();  // lives as long as the process
  return *registry;
}

std::u16string NameOf(LPCWSTR name) { return name ? std::u16string(name) : std::u16string(); }

LSTATUS OpenOrCreate(HKEY hKey, LPCWSTR lpSubKey, bool create, PHKEY phkResult, LPDWORD disposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> hold(r.lock);
  std::shared_ptr<RegKey> base;
  if (LSTATUS status = r.Live(hKey, &base)) return status;
  auto path = SplitPath(lpSubKey);
  bool created = false;
  auto key = create ? Registry::Create(base, path, &created) : Registry::Find(base, path);
  if (!key) return ERROR_FILE_NOT_FOUND;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *phkResult = r.Open(key);
  return ERROR_SUCCESS;
}

void Dump(const RegKey& key, const std::string& path, ZanLineSink sink, void* context) {
  auto narrow = [](const std::u16string& s) { return zanole::Utf8ForDisplay(s.data(), s.size()); };
  sink(path.c_str(), context);
  for (const RegValue& v : key.values) {
    std::string line = path + " [" + (v.name.empty() ? "@" : narrow(v.name)) + "] = ";
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
      std::u16string text(reinterpret_cast<const char16_t*>(v.data.data()), v.data.size() / 2);
      while (!text.empty() && text.back() == 0) text.pop_back();
      line += "REG_SZ \"" + narrow(text) + "\"";
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      DWORD d;
      std::memcpy(&d, v.data.data(), 4);
      line += "REG_DWORD " + std::to_string(d);
    } else {
      line += "type " + std::to_string(v.type) + ", " + std::to_string(v.data.size()) + " bytes";
    }
    sink(line.c_str(), context);
  }
  for (const auto& sub : key.subkeys) Dump(*sub.second, path + "\\" + narrow(sub.second->name), sink, context);
}

}  // namespace

extern "C" {

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                               PHKEY phkResult, LPDWORD lpdwDisposition) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    return OpenOrCreate(hKey, lpSubKey, true, phkResult, lpdwDisposition);
  });
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    return OpenOrCreate(hKey, lpSubKey, false, phkResult, nullptr);
  });
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    if (hKey == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto* handle = reinterpret_cast<KeyHandle*>(hKey);
    if (!r.handles.erase(handle)) return ERROR_INVALID_HANDLE;
    delete handle;
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    if (!lpData && cbData) return ERROR_NOACCESS;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = r.Live(hKey, &key)) return status;
    std::vector<BYTE> data(lpData, lpData + cbData);
    Registry::SetValue(key, NameOf(lpValueName), dwType, std::move(data));
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = r.Live(hKey, &key)) return status;
    const RegValue* v = Registry::FindValue(*key, NameOf(lpValueName));
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = v->type;
    DWORD size = static_cast<DWORD>(v->data.size());
    if (!lpcbData) return ERROR_SUCCESS;
    DWORD room = *lpcbData;
    *lpcbData = size;
    if (!lpData) return ERROR_SUCCESS;
    if (room < size) return ERROR_MORE_DATA;
    if (size) std::memcpy(lpData, v->data.data(), size);
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = r.Live(hKey, &key)) return status;
    std::u16string folded = Fold(NameOf(lpValueName));
    auto it = std::find_if(key->values.begin(), key->values.end(),
                           [&](const RegValue& v) { return Fold(v.name) == folded; });
    if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
    key->values.erase(it);
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto base = r.Resolve(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    auto path = SplitPath(lpSubKey);
    if (path.empty()) return ERROR_ACCESS_DENIED;
    return Registry::DeleteBelow(base, path, false);
  });
}

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> base;
    if (LSTATUS status = r.Live(hKey, &base)) return status;
    auto path = SplitPath(lpSubKey);
    if (path.empty()) {
      // Without a subkey: everything beneath the key goes, the key stays.
      for (auto& sub : base->subkeys) Registry::MarkDeleted(*sub.second);
      base->subkeys.clear();
      base->values.clear();
      return ERROR_SUCCESS;
    }
    return Registry::DeleteBelow(base, path, true);
  });
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR,
                             LPDWORD, PFILETIME lpftLastWriteTime) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = r.Live(hKey, &key)) return status;
    if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = key->subkeys.begin();
    std::advance(it, dwIndex);
    const std::u16string& name = it->second->name;
    if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = r.Live(hKey, &key)) return status;
    if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = key->values[dwIndex];
    if (v.name.size() + 1 > *lpcchValueName) return ERROR_MORE_DATA;
    std::memcpy(lpValueName, v.name.c_str(), (v.name.size() + 1) * sizeof(WCHAR));
    *lpcchValueName = static_cast<DWORD>(v.name.size());
    if (lpType) *lpType = v.type;
    if (lpcbData) {
      DWORD room = *lpcbData;
      *lpcbData = static_cast<DWORD>(v.data.size());
      if (lpData) {
        if (room < v.data.size()) return ERROR_MORE_DATA;
        if (!v.data.empty()) std::memcpy(lpData, v.data.data(), v.data.size());
      }
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                                LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  return zanole::NoThrow<LSTATUS>(ERROR_OUTOFMEMORY, [&]() -> LSTATUS {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.lock);
    std::shared_ptr<RegKey> key;
    if (LSTATUS status = r.Live(hKey, &key)) return status;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& sub : key->subkeys) maxSub = std::max(maxSub, static_cast<DWORD>(sub.second->name.size()));
    for (const RegValue& v : key->values) {
      maxName = std::max(maxName, static_cast<DWORD>(v.name.size()));
      maxData = std::max(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

void WINAPI ZanRegistryDump(ZanLineSink sink, void* context) {
  if (!sink) return;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> hold(r.lock);
  Dump(*r.root, "HKEY_CLASSES_ROOT", sink, context);
}

void WINAPI ZanRegistryReset() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> hold(r.lock);
  for (auto& sub : r.root->subkeys) Registry::MarkDeleted(*sub.second);
  r.Reset();
}

}  // extern "C"
