// Reading arbitrary files line by line in whatever encoding their first
// bytes announce: every line is read or refused, nothing crashes or leaks,
// a refused line leaves the caller's string as it was, and reading with
// and without stripping CR and LF takes the same lines.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "textio/encoded_text_file.h"

namespace {

// The text without CR and LF: what stripping may remove.
WString WithoutEnds(const WString& text) {
  WString rest;
  for (WCHAR unit : text) {
    if (unit != 0x0D && unit != 0x0A) rest += unit;
  }
  return rest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/zan_fuzz_line_reader_" + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  WString name(path.begin(), path.end());
  CEncodedTextFile reader;
  if (!reader.Open(name.c_str(), OM_READ, FE_UTF8)) return 0;
  // Each line is appended after what the string held: a refused line adds
  // nothing, a read one adds its text up to the first NUL, no longer than
  // the length it records.
  const WString before = OLESTR(">");
  WString text;
  size_t lines = 0;
  while (!reader.AtEnd() && lines <= size + 1) {
    text = before;
    UINT recorded = 0;
    const bool ok = reader.ReadLineText(&text, true, &recorded);
    if (text.compare(0, before.size(), before) != 0) __builtin_trap();
    if (!ok && text.size() != before.size()) __builtin_trap();
    if (ok && (WcsLen(text.c_str()) != text.size() || text.size() - before.size() > recorded)) __builtin_trap();
    ++lines;
  }
  if (lines > size + 1) __builtin_trap();  // every line consumes input
  // Stripping changes what a line holds, never where it ends: both readings
  // reach the end together, and lines read both ways differ only in CR and
  // LF (a UTF-8 CR may be written in a longer form, so all are set aside).
  CEncodedTextFile stripped, kept;
  if (!stripped.Open(name.c_str(), OM_READ, FE_UTF8) || !kept.Open(name.c_str(), OM_READ, FE_UTF8)) return 0;
  WString strippedText, keptText;
  for (size_t read = 0; read < lines; ++read) {
    strippedText.clear();
    keptText.clear();
    const bool strippedOk = stripped.ReadLineText(&strippedText, true);
    const bool keptOk = kept.ReadLineText(&keptText, false);
    if (stripped.AtEnd() != kept.AtEnd()) __builtin_trap();
    if (strippedOk && keptOk && WithoutEnds(strippedText) != WithoutEnds(keptText)) __builtin_trap();
  }
  if (!stripped.AtEnd() || !kept.AtEnd()) __builtin_trap();
  return 0;
}
