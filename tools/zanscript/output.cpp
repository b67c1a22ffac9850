#include "output.h"

#include <cstdio>

std::string Utf8(const WCHAR* text, size_t length) {
  if (length == 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

WString Wide(const std::string& utf8) {
  if (utf8.empty()) return WString();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  WString out(n > 0 ? static_cast<size_t>(n) : 0, u'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void PrintError(const WCHAR* subject, const std::string& reason) {
  std::string line = "zanscript: ";
  if (subject) line += (WString(subject) == OLESTR("-") ? "standard input" : Utf8(subject, WcsLen(subject))) + ": ";
  line += reason + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string JsonString(const WString& text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}
