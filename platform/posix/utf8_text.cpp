#include "utf8_text.h"

namespace zanole {

bool Utf8FromWide(const WCHAR* text, std::string* out) {
  int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out->data(), n, nullptr, nullptr);
  out->pop_back();
  return true;
}

std::basic_string<WCHAR> WideFromUtf8(const std::string& text) {
  std::basic_string<WCHAR> wide;
  if (text.empty()) return wide;
  const int count = static_cast<int>(text.size());
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), count, nullptr, 0);
  wide.resize(static_cast<size_t>(n > 0 ? n : 0));
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), count, wide.data(), n);
  return wide;
}

std::string Utf8ForDisplay(const WCHAR* text, size_t length) {
  std::string out;
  if (length == 0) return out;
  int count = static_cast<int>(length);
  int n = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, count, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace zanole
