#include "commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/unique_bstr.h"
#include "document.h"
#include "output.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Usage(const std::string& message) {
  PrintError(nullptr, message + " (see --help)");
  return kUsage;
}

zan::UniqueBstr Bstr(const WString& text) {
  return zan::UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// --from ENCODING at args[*i], moving *i past its value.
bool ParseFrom(const Arguments& args, size_t* i, Encoding* from, int* status) {
  if (++*i == args.size()) {
    *status = Usage("--from needs an encoding");
    return false;
  }
  if (!ParseEncoding(args[*i], from)) {
    *status = Usage("unknown encoding " + Utf8(args[*i]) + " (ansi, utf16le, utf8)");
    return false;
  }
  return true;
}

// A line index as show prints it, within the script.
bool ParseLine(const WString& text, const Document& document, const WString& path, LONG* line, int* status) {
  long long value = 0;
  bool digits = !text.empty() && text.size() <= 10;
  for (WCHAR c : text) {
    digits = digits && c >= u'0' && c <= u'9';
    if (digits) value = value * 10 + (c - u'0');
  }
  if (!digits) {
    *status = Usage("LINE must be a line index, not \"" + Utf8(text) + "\"");
    return false;
  }
  if (value >= document.Size()) {
    PrintError(path.c_str(), "line " + std::to_string(value) + " is out of range (the script has " +
                                 std::to_string(document.Size()) + " lines)");
    *status = kFailed;
    return false;
  }
  *line = static_cast<LONG>(value);
  return true;
}

}  // namespace

// The lines as show numbers them, through the same reader, so that cat and
// show never disagree on what a file holds.
int CatCommand(const Component& component, const Arguments& args) {
  if (args.empty()) return Usage("cat needs at least one FILE");
  int status = 0;
  for (const WString& path : args) {
    Document document;
    if (!document.Load(component, path)) {
      status = kFailed;
      continue;
    }
    std::string out;
    for (LONG i = 0, n = document.Size(); i < n; ++i) out += Utf8(document.Text(i)) + "\n";
    Print(out);
  }
  return status;
}

int ShowCommand(const Component& component, const Arguments& args) {
  bool json = false;
  const WString* path = nullptr;
  Encoding fromEncoding;
  const Encoding* from = nullptr;
  for (size_t i = 0; i < args.size(); ++i) {
    const WString& a = args[i];
    int status = 0;
    if (a == OLESTR("--json")) {
      json = true;
    } else if (a == OLESTR("--from")) {
      if (!ParseFrom(args, &i, &fromEncoding, &status)) return status;
      from = &fromEncoding;
    } else if (!a.empty() && a[0] == u'-') {
      return Usage("show does not know " + Utf8(a));
    } else if (path) {
      return Usage("show takes one FILE");
    } else {
      path = &a;
    }
  }
  if (!path) return Usage("show needs a FILE");
  Document document;
  if (!document.Load(component, *path, from)) return kFailed;
  std::string doubt = document.Doubt();
  WString note(doubt.begin(), doubt.end());  // ASCII
  std::string out = json ? std::string("{\"encoding\":\"") + NameOf(document.FileEncoding()) + "\",\"mark\":" +
                               (document.Marked() ? "true" : "false") +
                               (doubt.empty() ? "" : ",\"note\":" + JsonString(note)) + ",\"lines\":[\n"
                         : "encoding: " + document.Described() + (doubt.empty() ? "" : "; " + doubt) + "\n";
  for (LONG i = 0, n = document.Size(); i < n; ++i) {
    auto info = document.Info(i);
    if (json) {
      out += "{\"index\":" + std::to_string(i) + ",\"text\":" + JsonString(document.Text(i)) + ",\"info\":{";
      for (size_t k = 0; k < info.size(); ++k)
        out += (k ? "," : "") + JsonString(info[k].first) + ":" + JsonString(info[k].second);
      out += i + 1 < n ? "}},\n" : "}}\n";
    } else {
      out += std::to_string(i) + ": " + Utf8(document.Text(i)) + "\n";
      for (const auto& [key, value] : info) out += "    " + Utf8(key) + " = " + Utf8(value) + "\n";
    }
  }
  if (json) out += "]}\n";
  Print(out);
  return 0;
}

int ConvertCommand(const Component& component, const Arguments& args) {
  const WString* to = nullptr;
  bool normalize = false;
  Encoding fromEncoding;
  const Encoding* from = nullptr;
  std::vector<const WString*> files;
  for (size_t i = 0; i < args.size(); ++i) {
    int status = 0;
    if (args[i] == OLESTR("--normalize")) {
      normalize = true;
    } else if (args[i] == OLESTR("--from")) {
      if (!ParseFrom(args, &i, &fromEncoding, &status)) return status;
      from = &fromEncoding;
    } else if (args[i] == OLESTR("--to")) {
      if (++i == args.size()) return Usage("--to needs an encoding");
      to = &args[i];
    } else if (!args[i].empty() && args[i][0] == u'-') {
      return Usage("convert does not know " + Utf8(args[i]));
    } else {
      files.push_back(&args[i]);
    }
  }
  if (!to) return Usage("convert needs --to ansi|utf16le|utf8");
  if (files.empty() || files.size() > 2) return Usage("convert takes IN and an optional OUT");
  Encoding encoding;
  if (!ParseEncoding(*to, &encoding)) return Usage("unknown encoding " + Utf8(*to) + " (ansi, utf16le, utf8)");
  Document document;
  if (!document.Load(component, *files[0], from) || !document.SavesAsRead(*files[0], normalize)) return kFailed;
  if (encoding == kAnsi) {
    for (LONG i = 0, n = document.Size(); i < n; ++i) {
      bool fits = FitsAnsi(document.Text(i));
      for (const auto& [key, value] : document.Info(i)) fits = fits && FitsAnsi(key) && FitsAnsi(value);
      if (!fits) {
        PrintError(files[0]->c_str(), "line " + std::to_string(i) +
                                          " holds characters the ANSI code page cannot; nothing was written");
        return kFailed;
      }
    }
  }
  return document.Save(*files.back(), encoding) ? 0 : kFailed;
}

int InfoCommand(const Component& component, const Arguments& given) {
  // Options stand before FILE, so that a KEY or VALUE may look like one.
  Arguments args = given;
  bool normalize = false;
  Encoding fromEncoding;
  const Encoding* from = nullptr;
  while (args.size() > 1 && (args[1] == OLESTR("--normalize") || args[1] == OLESTR("--from"))) {
    if (args[1] == OLESTR("--normalize")) {
      normalize = true;
      args.erase(args.begin() + 1);
      continue;
    }
    size_t i = 1;
    int status = 0;
    if (!ParseFrom(args, &i, &fromEncoding, &status)) return status;
    from = &fromEncoding;
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  if (args.empty()) return Usage("info needs get, set or del");
  const WString& action = args[0];
  size_t expected = action == OLESTR("set") ? 5 : 4;
  if (action != OLESTR("get") && action != OLESTR("set") && action != OLESTR("del"))
    return Usage("info does not know " + Utf8(action));
  if (normalize && action == OLESTR("get")) return Usage("info get writes nothing to normalize");
  if (args.size() != expected)
    return Usage("info " + Utf8(action) + " takes FILE LINE KEY" + (expected == 5 ? " VALUE" : ""));
  const WString& path = args[1];
  const WString& key = args[3];
  Document document;
  if (!document.Load(component, path, from)) return kFailed;
  LONG line = 0;
  int status = 0;
  if (!ParseLine(args[2], document, path, &line, &status)) return status;
  zan::UniqueBstr name = Bstr(key);
  zan::UniqueBstr value;
  HRESULT found = document.Script()->GetLineInfo(line, name.get(), value.put());
  if (action == OLESTR("get") || action == OLESTR("del")) {
    if (FAILED(found)) {
      PrintError(path.c_str(), "line " + std::to_string(line) + " has no \"" + Utf8(key) + "\"");
      return kFailed;
    }
    if (action == OLESTR("get")) {
      Print(Utf8(value.get() ? WString(value.get()) : WString()) + "\n");
      return 0;
    }
    if (!document.SavesAsRead(path, normalize)) return kFailed;
    if (FAILED(document.Script()->DeleteLineInfo(line, name.get()))) {
      PrintError(path.c_str(), "cannot delete \"" + Utf8(key) + "\"");
      return kFailed;
    }
    return document.Save(path, document.FileEncoding()) ? 0 : kFailed;
  }
  const WString& newValue = args[4];
  for (const WString* text : {&key, &newValue}) {
    std::string why = WhyNotSavable(*text, text == &key);
    if (why.empty() && document.FileEncoding() == kAnsi && !FitsAnsi(*text))
      why = "the file's ANSI code page cannot hold its characters";
    if (!why.empty()) {
      PrintError(path.c_str(), "cannot store \"" + Utf8(*text) + "\": " + why);
      return kFailed;
    }
  }
  if (!document.SavesAsRead(path, normalize)) return kFailed;
  if (FAILED(document.Script()->SetLineInfo(line, name.get(), Bstr(newValue).get()))) {
    PrintError(path.c_str(), "cannot set \"" + Utf8(key) + "\"");
    return kFailed;
  }
  return document.Save(path, document.FileEncoding()) ? 0 : kFailed;
}
