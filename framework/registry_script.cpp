#include "registry_script.h"

#include <new>

#include "base/hresult_error.h"
#include "base/result_macros.h"
#include "base/unique_any.h"
#include "reg_key.h"

namespace {

// The parsed form: a tree of keys, checked whole before the registry is
// touched, so a script with a syntax error changes nothing.
struct ScriptKey {
  WString name;
  bool noRemove = false, forceRemove = false, hasDefault = false;
  WString defaultValue;
  std::vector<std::pair<WString, WString>> values;
  std::vector<ScriptKey> subkeys;
};

class Parser {
 public:
  Parser(const WString& text, const std::vector<std::pair<WString, WString>>& replacements)
      : text_(text), replacements_(replacements) {}

  // The root key and its entries.
  bool Parse(HKEY* root, std::vector<ScriptKey>* keys) {
    WString token;
    while (Next(&token)) {
      if (token != OLESTR("HKCR") && token != OLESTR("HKEY_CLASSES_ROOT")) return false;
      *root = HKEY_CLASSES_ROOT;
      if (!Next(&token) || token != OLESTR("{") || !Block(keys)) return false;
    }
    return true;
  }

 private:
  static bool IsBlank(WCHAR c) { return c == OLESTR(' ') || c == OLESTR('\t') || c == OLESTR('\r') || c == OLESTR('\n'); }
  static bool Same(const WString& a, const WCHAR* b) {
    size_t n = WcsLen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
      if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
  }

  // One token: a quoted text (with '' for a quote), a brace or '=', or a
  // run of other characters. quoted_ tells which kind was read.
  bool Next(WString* token) {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return false;
    token->clear();
    quoted_ = text_[pos_] == OLESTR('\'');
    if (quoted_) {
      for (++pos_;; ++pos_) {
        if (pos_ >= text_.size()) return false;
        if (text_[pos_] == OLESTR('\'')) {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == OLESTR('\'')) {
            token->push_back(OLESTR('\''));
            ++pos_;
            continue;
          }
          ++pos_;
          break;
        }
        token->push_back(text_[pos_]);
      }
      return Replace(token);
    }
    if (text_[pos_] == OLESTR('=') || ((text_[pos_] == OLESTR('{') || text_[pos_] == OLESTR('}')) &&
                                (pos_ + 1 >= text_.size() || IsBlank(text_[pos_ + 1])))) {
      token->push_back(text_[pos_++]);
      return true;
    }
    while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != OLESTR('=')) token->push_back(text_[pos_++]);
    return Replace(token);
  }

  bool Replace(WString* token) const {
    WString out;
    for (size_t i = 0; i < token->size(); ++i) {
      if ((*token)[i] != OLESTR('%')) {
        out.push_back((*token)[i]);
        continue;
      }
      size_t end = token->find(OLESTR('%'), i + 1);
      if (end == WString::npos) return false;
      WString name = token->substr(i + 1, end - i - 1);
      if (name.empty()) {
        out.push_back(OLESTR('%'));  // %% is a percent sign
      } else {
        const WString* value = nullptr;
        for (const auto& r : replacements_)
          if (!value && Same(r.first, name.c_str())) value = &r.second;
        if (!value) return false;
        out += *value;
      }
      i = end;
    }
    *token = out;
    return true;
  }

  // `= s 'text'`
  bool StringValue(WString* value) {
    WString token;
    return Next(&token) && !quoted_ && Same(token, OLESTR("s")) && Next(value) && quoted_;
  }

  // Entries up to the closing brace.
  bool Block(std::vector<ScriptKey>* keys) {
    WString token;
    while (Next(&token)) {
      if (!quoted_ && token == OLESTR("}")) return true;
      if (!quoted_ && Same(token, OLESTR("val"))) {
        WString name, value;
        if (!Next(&name) || !Next(&token) || token != OLESTR("=") || !StringValue(&value)) return false;
        if (!current_) return false;  // a value needs its key
        current_->values.emplace_back(name, value);
        continue;
      }
      ScriptKey key;
      while (!quoted_ && (Same(token, OLESTR("NoRemove")) || Same(token, OLESTR("ForceRemove")))) {
        (Same(token, OLESTR("NoRemove")) ? key.noRemove : key.forceRemove) = true;
        if (!Next(&token)) return false;
      }
      if (!quoted_ && (token == OLESTR("{") || token == OLESTR("}") || token == OLESTR("="))) return false;
      key.name = token;
      size_t mark = pos_;
      if (Next(&token) && !quoted_ && token == OLESTR("=")) {
        if (!StringValue(&key.defaultValue)) return false;
        key.hasDefault = true;
        mark = pos_;
        if (!Next(&token)) token.clear();
      }
      if (!quoted_ && token == OLESTR("{")) {
        ScriptKey* outer = current_;
        current_ = &key;
        ++depth_;
        bool ok = Block(&key.subkeys);
        --depth_;
        current_ = outer;
        if (!ok) return false;
      } else {
        pos_ = mark;  // not this key's: read it again
      }
      keys->push_back(std::move(key));
    }
    return false;  // the closing brace is missing
  }

  const WString& text_;
  const std::vector<std::pair<WString, WString>>& replacements_;
  size_t pos_ = 0;
  bool quoted_ = false;
  int depth_ = 0;
  ScriptKey* current_ = nullptr;
};

bool HasSubkeys(HKEY key) {
  DWORD subkeys = 0;
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr) != ERROR_SUCCESS ||
         subkeys > 0;
}

LSTATUS SetString(HKEY key, const WString& name, const WString& value) {
  return RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

LSTATUS RegisterKeys(HKEY parent, const std::vector<ScriptKey>& keys) {
  for (const ScriptKey& k : keys) {
    RegKey key;
    const WCHAR* name = k.name.c_str();
    if (k.forceRemove) RegDeleteTreeW(parent, name);
    LSTATUS status = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, key.put());
    if (status != ERROR_SUCCESS) status = RegOpenKeyExW(parent, name, 0, KEY_READ, key.put());
    if (status != ERROR_SUCCESS)
      status = RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                               key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (k.hasDefault && (status = SetString(key.get(), WString(), k.defaultValue)) != ERROR_SUCCESS) return status;
    for (const auto& v : k.values)
      if ((status = SetString(key.get(), v.first, v.second)) != ERROR_SUCCESS) return status;
    if ((status = RegisterKeys(key.get(), k.subkeys)) != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

void UnregisterKeys(HKEY parent, const std::vector<ScriptKey>& keys) {
  for (const ScriptKey& k : keys) {
    RegKey key;
    // A missing key has nothing beneath it to remove.
    if (!parent || RegOpenKeyExW(parent, k.name.c_str(), 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
      continue;
    for (const auto& v : k.values) RegDeleteValueW(key.get(), v.first.c_str());
    UnregisterKeys(key.get(), k.subkeys);
    if (!k.noRemove && !HasSubkeys(key.get())) RegDeleteKeyW(parent, k.name.c_str());
  }
}

}  // namespace

HRESULT CRegistryScript::Run(const WString& script, bool doRegister) const noexcept {
  try {
  HKEY root = nullptr;
  std::vector<ScriptKey> keys;
  if (!Parser(script, replacements_).Parse(&root, &keys)) return DISP_E_EXCEPTION;
  if (!doRegister) {
    UnregisterKeys(root, keys);
    return S_OK;
  }
  LSTATUS status = RegisterKeys(root, keys);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
  }
  ZAN_CATCH_RETURN()
}

HRESULT CRegistryScript::RunResource(const WCHAR* moduleFile, UINT resourceId, bool doRegister) const noexcept {
  try {
  zan::UniqueModule module(LoadLibraryExW(moduleFile, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ZAN_RETURN_HR_IF_NULL(zan::HResultFromLastError(), module.get());
  HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(resourceId), OLESTR("REGISTRY"));
  ZAN_RETURN_HR_IF_NULL(zan::HResultFromLastError(), found);
  HGLOBAL loaded = LoadResource(module.get(), found);
  DWORD size = SizeofResource(module.get(), found);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  ZAN_RETURN_HR_IF_NULL(zan::HResultFromLastError(), bytes);
  WString text;
  if (size > 0) {
    int length = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
    ZAN_RETURN_HR_IF(zan::HResultFromLastError(), length <= 0);
    text.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), text.data(), length);
  }
  return Run(text, doRegister);
  }
  ZAN_CATCH_RETURN()
}
