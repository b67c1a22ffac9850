// vswprintf with the Windows CRT's conventions for wide formats: %s, %ls,
// %ws and %c take UTF-16; %hs, %S, %hc and %C take narrow text. Numbers are
// rendered by the C library from a rebuilt narrow conversion.
#include <cstdio>
#include <cstring>
#include <string>

#include "zanole/zanole.h"

namespace {

enum class Size { Default, Char, Short, Long, LongLong, Pointer, Wide, LongDouble };

struct Spec {
  std::string flags;
  int width = -1;
  int precision = -1;
  Size size = Size::Default;
  WCHAR type = 0;
};

void AppendNarrow(std::u16string* out, const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i) out->push_back(static_cast<unsigned char>(s[i]));
}

void AppendPadded(std::u16string* out, const std::u16string& body, const Spec& spec) {
  size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  bool left = spec.flags.find('-') != std::string::npos;
  size_t pad = body.size() < width ? width - body.size() : 0;
  if (!left) out->append(pad, spec.flags.find('0') != std::string::npos ? u'0' : u' ');
  out->append(body);
  if (left) out->append(pad, u' ');
}

std::string NarrowSpec(const Spec& spec, const char* length, char type) {
  std::string s = "%" + spec.flags;
  if (spec.width >= 0) s += std::to_string(spec.width);
  if (spec.precision >= 0) s += "." + std::to_string(spec.precision);
  return s + length + type;
}

template <typename T>
void AppendNumber(std::u16string* out, const Spec& spec, const char* length, char type, T value) {
  std::string fmt = NarrowSpec(spec, length, type);
  int n = std::snprintf(nullptr, 0, fmt.c_str(), value);
  if (n <= 0) return;
  std::string buf(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(buf.data(), buf.size(), fmt.c_str(), value);
  AppendNarrow(out, buf.data(), static_cast<size_t>(n));
}

bool WideArgument(const Spec& spec, bool upper) {
  if (spec.size == Size::Short) return false;
  if (spec.size == Size::Long || spec.size == Size::Wide) return true;
  return !upper;
}

// Formats into out; false for a conversion this formatter does not know.
bool Format(std::u16string* out, const WCHAR* fmt, va_list args) {
  for (const WCHAR* p = fmt; *p; ++p) {
    if (*p != u'%') {
      out->push_back(*p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      out->push_back(u'%');
      continue;
    }
    Spec spec;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') spec.flags += static_cast<char>(*p++);
    if (*p == u'*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.flags += '-';
        spec.width = -spec.width;
      }
      ++p;
    } else {
      while (*p >= u'0' && *p <= u'9') spec.width = (spec.width < 0 ? 0 : spec.width * 10) + (*p++ - u'0');
    }
    if (*p == u'.') {
      ++p;
      spec.precision = 0;
      if (*p == u'*') {
        spec.precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= u'0' && *p <= u'9') spec.precision = spec.precision * 10 + (*p++ - u'0');
      }
    }
    if (p[0] == u'h' && p[1] == u'h') spec.size = Size::Char, p += 2;
    else if (*p == u'h') spec.size = Size::Short, ++p;
    else if (p[0] == u'l' && p[1] == u'l') spec.size = Size::LongLong, p += 2;
    else if (*p == u'l') spec.size = Size::Long, ++p;
    else if (*p == u'w') spec.size = Size::Wide, ++p;
    else if (*p == u'L') spec.size = Size::LongDouble, ++p;
    else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') spec.size = Size::LongLong, p += 3;
    else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') spec.size = Size::Default, p += 3;
    else if (*p == u'I' || *p == u'z' || *p == u't' || *p == u'j') spec.size = Size::Pointer, ++p;
    spec.type = *p;
    switch (spec.type) {
      case u'd':
      case u'i':
        switch (spec.size) {
          case Size::LongLong: AppendNumber(out, spec, "ll", 'd', va_arg(args, long long)); break;
          case Size::Pointer: AppendNumber(out, spec, "ll", 'd', static_cast<long long>(va_arg(args, intptr_t))); break;
          case Size::Short: AppendNumber(out, spec, "", 'd', static_cast<short>(va_arg(args, int))); break;
          case Size::Char: AppendNumber(out, spec, "", 'd', static_cast<signed char>(va_arg(args, int))); break;
          default: AppendNumber(out, spec, "", 'd', va_arg(args, int)); break;
        }
        break;
      case u'u':
      case u'o':
      case u'x':
      case u'X': {
        char t = static_cast<char>(spec.type);
        switch (spec.size) {
          case Size::LongLong: AppendNumber(out, spec, "ll", t, va_arg(args, unsigned long long)); break;
          case Size::Pointer: AppendNumber(out, spec, "ll", t, static_cast<unsigned long long>(va_arg(args, uintptr_t))); break;
          case Size::Short: AppendNumber(out, spec, "", t, static_cast<unsigned short>(va_arg(args, unsigned))); break;
          case Size::Char: AppendNumber(out, spec, "", t, static_cast<unsigned char>(va_arg(args, unsigned))); break;
          default: AppendNumber(out, spec, "", t, va_arg(args, unsigned)); break;
        }
        break;
      }
      case u'e':
      case u'E':
      case u'f':
      case u'F':
      case u'g':
      case u'G':
      case u'a':
      case u'A':
        AppendNumber(out, spec, "", static_cast<char>(spec.type), va_arg(args, double));
        break;
      case u'p': {
        Spec hex;
        hex.flags = "0";
        hex.width = static_cast<int>(sizeof(void*) * 2);
        AppendNumber(out, hex, "ll", 'X', static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(va_arg(args, void*))));
        break;
      }
      case u'c':
      case u'C': {
        std::u16string body(1, WideArgument(spec, spec.type == u'C')
                                   ? static_cast<WCHAR>(va_arg(args, int))
                                   : static_cast<WCHAR>(static_cast<unsigned char>(va_arg(args, int))));
        AppendPadded(out, body, spec);
        break;
      }
      case u's':
      case u'S': {
        std::u16string body;
        if (WideArgument(spec, spec.type == u'S')) {
          const WCHAR* s = va_arg(args, const WCHAR*);
          if (!s) s = u"(null)";
          size_t n = WcsLen(s);
          if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < n) n = static_cast<size_t>(spec.precision);
          body.assign(s, n);
        } else {
          const char* s = va_arg(args, const char*);
          if (!s) s = "(null)";
          size_t n = std::strlen(s);
          if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < n) n = static_cast<size_t>(spec.precision);
          AppendNarrow(&body, s, n);
        }
        AppendPadded(out, body, spec);
        break;
      }
      default: return false;
    }
  }
  return true;
}

}  // namespace

int VSWPrintfCount(const WCHAR* fmt, va_list args) {
  if (!fmt) return -1;
  std::u16string out;
  va_list copy;
  va_copy(copy, args);
  bool ok = Format(&out, fmt, copy);
  va_end(copy);
  return ok && out.size() < 0x7FFFFFFF ? static_cast<int>(out.size()) : -1;
}

int VSWPrintf(WCHAR* buf, size_t count, const WCHAR* fmt, va_list args) {
  if (!buf || count == 0 || !fmt) return -1;
  std::u16string out;
  va_list copy;
  va_copy(copy, args);
  bool ok = Format(&out, fmt, copy);
  va_end(copy);
  if (!ok || out.size() >= count) {
    buf[0] = 0;
    return -1;
  }
  std::memcpy(buf, out.data(), out.size() * sizeof(WCHAR));
  buf[out.size()] = 0;
  return static_cast<int>(out.size());
}
