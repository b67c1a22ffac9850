// Reading arbitrary files line by line in whatever encoding their first
// bytes announce: every line is read or refused, nothing crashes or leaks.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "textio/encoded_file_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/zan_fuzz_line_reader_" + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  WString name(path.begin(), path.end());
  CEncodedFile_LineReader reader;
  if (!reader.Open(name.c_str(), OM_READ, FE_UTF8)) return 0;
  size_t lines = 0;
  while (!reader.AtEnd() && lines <= size + 1) {
    zan::UniqueBstr line;
    reader.ReadLine(&line, true);
    if (line.get() && WcsLen(line.get()) > line.length()) __builtin_trap();
    ++lines;
  }
  if (lines > size + 1) __builtin_trap();  // every line consumes input
  return 0;
}
