// B2: plain C++ without ZanScript: read the file, decode UTF-8 to UTF-16,
// split it into a vector of strings (the information left on the line), and
// join them with LF. Prints the text's checksum and the line count.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "checksum.h"

namespace {

std::u16string Decode(const std::string& bytes, size_t from) {
  std::u16string out;
  out.reserve(bytes.size() - from);
  for (size_t i = from; i < bytes.size();) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    char32_t cp;
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
    for (int k = 1; k <= extra && i + k < bytes.size(); ++k) cp = (cp << 6) | (bytes[i + k] & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t from = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::u16string text = Decode(bytes, from);
  std::vector<std::u16string> lines;
  const std::u16string marker = u" @@ ";
  for (size_t start = 0;;) {
    size_t end = text.find(u"\r\n", start);
    std::u16string line = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
    size_t at = line.rfind(marker);
    if (at != std::u16string::npos) {
      line.resize(at);
      while (!line.empty() && line.back() == u' ') line.pop_back();
    }
    lines.push_back(std::move(line));
    if (end == std::u16string::npos) break;
    start = end + 2;
  }
  std::u16string joined;
  for (const auto& l : lines) {
    joined += l;
    joined += u'\n';
  }
  std::printf("%s %zu\n", TextCheck(joined.data(), joined.size()).c_str(), lines.size());
  return 0;
}
