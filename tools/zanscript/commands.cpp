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

const Encoding* FromOf(const Request& request) { return request.hasFrom ? &request.from : nullptr; }

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
int CatCommand(const Component& component, const Request& request) {
  int status = 0;
  for (const WString& path : request.files) {
    Document document;
    if (!document.Load(component, path)) {
      status = kFailed;
      continue;
    }
    std::string out;
    for (LONG i = 0, n = document.Size(); i < n; ++i) out += Utf8(document.Text(i)) + "\n";
    Print(out);
    // show says it on its first line; cat's output has no place for it, and
    // output with a line missing is no success.
    if (!document.ReportDoubt(path)) status = kFailed;
  }
  return status;
}

int ShowCommand(const Component& component, const Request& request) {
  bool json = request.json;
  const WString& path = request.files[0];
  Document document;
  if (!document.Load(component, path, FromOf(request))) return kFailed;
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

int ConvertCommand(const Component& component, const Request& request) {
  const WString& in = request.files[0];
  // Standard input has no place to save in: its conversion goes to standard output.
  const WString& out = request.files.back();
  Encoding encoding = request.to;
  // However the two names are spelt, one file converted in place is an edit.
  const bool inPlace = in != OLESTR("-") && out != OLESTR("-") && (out == in || WIsSameFile(in.c_str(), out.c_str()));
  Document document;
  if (inPlace) document.HoldForEdit(in);
  if (!document.Load(component, in, FromOf(request)) || !document.SavesAsRead(in, request.normalize)) return kFailed;
  if (encoding == kAnsi) {
    for (LONG i = 0, n = document.Size(); i < n; ++i) {
      bool fits = FitsAnsi(document.Text(i));
      for (const auto& [key, value] : document.Info(i)) fits = fits && FitsAnsi(key) && FitsAnsi(value);
      if (!fits) {
        PrintError(in.c_str(), "line " + std::to_string(i) +
                                          " holds characters the ANSI code page cannot; nothing was written");
        return kFailed;
      }
    }
  }
  if (inPlace && !document.Unchanged(in)) return kFailed;
  return document.Save(out, encoding) ? 0 : kFailed;
}

int InfoCommand(const Component& component, const Request& request) {
  const std::string& action = request.action;
  const WString& path = request.files[0];
  if (path == OLESTR("-") && (action == "set" || action == "del"))
    return Usage("info " + action + " saves FILE in place, and - (standard input) is no file to save");
  const WString& key = request.key;
  Document document;
  if (action == "set" || action == "del") document.HoldForEdit(path);
  if (!document.Load(component, path, FromOf(request))) return kFailed;
  // Past a line the reader left out, a LINE is not the file's line of
  // that number: no answer is better than another line's.
  if ((action == "get" || action == "list") && !document.ReportDoubt(path)) return kFailed;
  LONG line = 0;
  int status = 0;
  if (!ParseLine(request.line, document, path, &line, &status)) return status;
  // The line's text is stored under a key too; info never lists it, and
  // set or del would replace or erase the code unseen.
  if ((action == "set" || action == "del") && key == kSourceKey) {
    PrintError(path.c_str(), "the key \"" + Utf8(key) + "\" holds the line's text, which info does not change");
    return kFailed;
  }
  if (action == "list") {
    std::string out;
    for (const auto& [name, value] : document.Info(line)) out += Utf8(name) + " = " + Utf8(value) + "\n";
    Print(out);
    return 0;
  }
  zan::UniqueBstr name = Bstr(key);
  zan::UniqueBstr value;
  HRESULT found = document.Script()->GetLineInfo(line, name.get(), value.put());
  if (action == "get" || action == "del") {
    if (FAILED(found)) {
      PrintError(path.c_str(), "line " + std::to_string(line) + " has no \"" + Utf8(key) + "\"");
      return kFailed;
    }
    if (action == "get") {
      Print(Utf8(value.get() ? WString(value.get()) : WString()) + "\n");
      return 0;
    }
    if (!document.SavesAsRead(path, request.normalize)) return kFailed;
    if (FAILED(document.Script()->DeleteLineInfo(line, name.get()))) {
      PrintError(path.c_str(), "cannot delete \"" + Utf8(key) + "\"");
      return kFailed;
    }
    return document.SaveEdit(path) ? 0 : kFailed;
  }
  const WString& newValue = request.value;
  for (const WString* text : {&key, &newValue}) {
    std::string why = WhyNotSavable(*text, text == &key);
    if (why.empty() && document.FileEncoding() == kAnsi && !FitsAnsi(*text))
      why = "the file's ANSI code page cannot hold its characters";
    if (!why.empty()) {
      PrintError(path.c_str(), "cannot store \"" + Utf8(*text) + "\": " + why);
      return kFailed;
    }
  }
  if (!document.SavesAsRead(path, request.normalize)) return kFailed;
  if (FAILED(document.Script()->SetLineInfo(line, name.get(), Bstr(newValue).get()))) {
    PrintError(path.c_str(), "cannot set \"" + Utf8(key) + "\"");
    return kFailed;
  }
  return document.SaveEdit(path) ? 0 : kFailed;
}
