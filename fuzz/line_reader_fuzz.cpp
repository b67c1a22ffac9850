// Reading arbitrary files line by line in whatever encoding their first
// bytes announce: every line is read or refused, nothing crashes or leaks,
// and the BSTR and text forms read the same lines.
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
  // The text form reads the same lines: each text is the BSTR's up to its
  // first NUL, with the length that BSTR records.
  CEncodedFile_LineReader bstrs, texts;
  if (!bstrs.Open(name.c_str(), OM_READ, FE_UTF8) || !texts.Open(name.c_str(), OM_READ, FE_UTF8)) return 0;
  WString text;
  for (size_t read = 0; read < lines; ++read) {
    zan::UniqueBstr line;
    const bool ok = bstrs.ReadLine(&line, read % 2 == 0);
    UINT recorded = 0;
    text.clear();
    if (ok != texts.ReadLineText(&text, read % 2 == 0, &recorded)) __builtin_trap();
    if (ok && (recorded != line.length() || text != WString(line.get(), WcsLen(line.get())))) __builtin_trap();
    if (bstrs.AtEnd() != texts.AtEnd()) __builtin_trap();
  }
  return 0;
}
