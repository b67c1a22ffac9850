#include "document.h"

#include <cstdio>
#include <cstring>

#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "output.h"
#include "zanole/scripting.h"

const WCHAR kSourceKey[] = OLESTR("script source");

namespace {

const WCHAR kNeverSavedKey[] = OLESTR("with id");

// The encoding its byte order mark names; none is ANSI.
Encoding EncodingOf(FILE* file) {
  unsigned char mark[3] = {};
  size_t n = std::fread(mark, 1, 3, file);
  if (n >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) return kUtf16le;
  if (n == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) return kUtf8;
  return kAnsi;
}

std::vector<WString> Strings(VARIANT* array) {
  std::vector<WString> out;
  if (V_VT(array) != (VT_ARRAY | VT_VARIANT)) return out;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(V_ARRAY(array), 1, &lower);
  SafeArrayGetUBound(V_ARRAY(array), 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    zan::UniqueVariant element;
    SafeArrayGetElement(V_ARRAY(array), &i, element.get());
    zan::UniqueVariant text;
    VariantChangeType(text.get(), element.get(), 0, VT_BSTR);
    out.emplace_back(V_VT(text.get()) == VT_BSTR && V_BSTR(text.get()) ? V_BSTR(text.get()) : OLESTR(""));
  }
  return out;
}

}  // namespace

bool Document::Load(const Component& component, const WString& path) {
  FILE* file = nullptr;
  if (int error = WFOpen(&file, path.c_str(), OLESTR("rb"))) {
    PrintError(path.c_str(), std::strerror(error));
    return false;
  }
  encoding_ = EncodingOf(file);
  std::fclose(file);
  script_ = component.NewScript();
  zan::ComPtr<IPersistFile> persist;
  if (!script_ || FAILED(script_.As(IidOf<IPersistFile>(), &persist)) || FAILED(persist->Load(path.c_str(), 0))) {
    PrintError(path.c_str(), "cannot load the script");
    return false;
  }
  return true;
}

bool Document::Save(const WString& path, Encoding encoding) {
  zan::ComPtr<IPersistFile> persist;
  if (FAILED(script_->put_SaveEncoding(encoding)) || FAILED(script_.As(IidOf<IPersistFile>(), &persist)) ||
      FAILED(persist->Save(path.c_str(), TRUE))) {
    PrintError(path.c_str(), "cannot save the script; the file is unchanged");
    return false;
  }
  return true;
}

LONG Document::Size() const {
  LONG size = 0;
  script_->get_Size(&size);
  return size;
}

WString Document::Text(LONG line) const {
  zan::UniqueBstr text;
  script_->get_Script(line, text.put());
  return text.get() ? WString(text.get()) : WString();
}

std::vector<std::pair<WString, WString>> Document::Info(LONG line) const {
  std::vector<std::pair<WString, WString>> info;
  zan::ComPtr<IDispatch> object;
  zan::ComPtr<Scripting::IDictionary> dictionary;
  if (FAILED(script_->get_Line(line, object.put())) || !object ||
      FAILED(object->QueryInterface(Scripting::IID_IDictionary, dictionary.put_void())))
    return info;
  zan::UniqueVariant keys, items;
  dictionary->Keys(keys.get());
  dictionary->Items(items.get());
  std::vector<WString> k = Strings(keys.get()), v = Strings(items.get());
  for (size_t i = 0; i < k.size() && i < v.size(); ++i)
    if (k[i] != kSourceKey) info.emplace_back(k[i], v[i]);
  return info;
}

std::string WhyNotSavable(const WString& text, bool isKey) {
  if (isKey && text.empty()) return "an empty key is not saved";
  if (isKey && text == kNeverSavedKey) return "the key \"with id\" is never saved";
  if (!isKey && text.empty()) return "an empty value is not saved";
  if (text.find(OLESTR("_;_")) != WString::npos) return "\"_;_\" separates keys and values in the file";
  if (text.find(OLESTR(" @@ ")) != WString::npos) return "\" @@ \" starts the information in the file";
  if (text.find_first_of(OLESTR("\r\n")) != WString::npos) return "a line break would split the line";
  if (!text.empty() && (IsWSpace(text.front()) || IsWSpace(text.back())))
    return "blanks at either end are not read back";
  return std::string();
}

bool FitsAnsi(const WString& text) {
  if (text.empty()) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}
