// B2: what a competent C++ programmer writes without ZanScript. One read of
// the whole file, one decode of UTF-8 to UTF-16 with an ASCII fast path,
// lines split as views of the decoded text, each line's text (before the
// first " @@ ") copied into a vector of strings, the file and the decoded
// text freed, and the lines joined, each followed by LF, into a string
// reserved to its exact size. Prints the joined text's check and the line
// count.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "checksum.h"

namespace {

bool ReadFile(const char* path, std::string* bytes) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(f) : -1;
  ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes->resize(static_cast<size_t>(size));
    ok = std::fread(&(*bytes)[0], 1, bytes->size(), f) == bytes->size();
  }
  std::fclose(f);
  return ok;
}

// Invalid bytes become U+FFFD; eight ASCII bytes at a time.
std::u16string Decode(const char* s, size_t n) {
  std::u16string out;
  out.resize(n);  // never more units than bytes
  char16_t* o = &out[0];
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  const unsigned char* e = p + n;
  while (p < e) {
    if (e - p >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      if ((w & 0x8080808080808080ull) == 0) {
        for (int i = 0; i < 8; ++i) o[i] = p[i];
        o += 8;
        p += 8;
        continue;
      }
    }
    unsigned c = *p;
    if (c < 0x80) {
      *o++ = static_cast<char16_t>(c);
      ++p;
    } else if ((c >> 5) == 6 && e - p >= 2 && (p[1] & 0xC0) == 0x80) {
      *o++ = static_cast<char16_t>(((c & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else if ((c >> 4) == 14 && e - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      *o++ = static_cast<char16_t>(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      p += 3;
    } else if ((c >> 3) == 30 && e - p >= 4 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80 &&
               (p[3] & 0xC0) == 0x80) {
      uint32_t cp = ((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
      cp -= 0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
      p += 4;
    } else {
      *o++ = 0xFFFD;
      ++p;
    }
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

const char16_t* Find(const char16_t* b, const char16_t* e, const char16_t* needle, size_t m) {
  for (const char16_t* p = b; p + m <= e; ++p)
    if (*p == needle[0] && std::memcmp(p, needle, m * sizeof(char16_t)) == 0) return p;
  return e;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string bytes;
  if (!ReadFile(argv[1], &bytes)) {
    std::perror(argv[1]);
    return 1;
  }
  size_t from = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::u16string text = Decode(bytes.data() + from, bytes.size() - from);
  std::string().swap(bytes);

  static const char16_t kMarker[] = u" @@ ";
  std::vector<std::u16string> lines;
  const char16_t* b = text.data();
  const char16_t* e = b + text.size();
  while (b < e) {
    const char16_t* nl = b;
    while (nl < e && *nl != u'\n') ++nl;
    const char16_t* end = nl;
    if (end > b && end[-1] == u'\r') --end;
    lines.emplace_back(b, Find(b, end, kMarker, 4));
    b = nl + 1;
  }
  std::u16string().swap(text);

  size_t total = lines.size();
  for (const auto& l : lines) total += l.size();
  std::u16string joined;
  joined.reserve(total);
  for (const auto& l : lines) {
    joined.append(l);
    joined.push_back(u'\n');
  }
  std::printf("%s %zu\n", TextCheck(joined.data(), joined.size()).c_str(), lines.size());
  return 0;
}
