// UTF-16 helpers whose Windows behaviour must be reproduced here: the
// white-space class and opening files by UTF-16 name.
#include <cerrno>
#include <string>

#include "faults.h"
#include "utf8_text.h"
#include "zanole/zanole.h"

bool IsWSpace(WCHAR c) {
  switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

int WFOpen(FILE** file, const WCHAR* name, const WCHAR* mode) {
  if (!file) return ErrnoResult(EINVAL);
  *file = nullptr;
  if (!name || !mode) return ErrnoResult(EINVAL);
  std::string path, flags;
  if (!zanole::Utf8FromWide(name, &path)) return ErrnoResult(EILSEQ);
  // The Windows text/binary letters and an encoding suffix mean nothing here.
  for (const WCHAR* m = mode; *m && *m != u','; ++m) {
    if (*m == u'r' || *m == u'w' || *m == u'a' || *m == u'+' || *m == u'b') flags += static_cast<char>(*m);
    else if (*m != u't' && *m != u' ') return ErrnoResult(EINVAL);
  }
  if (flags.empty()) return ErrnoResult(EINVAL);
  *file = zanole::StreamWithFaults(std::fopen(path.c_str(), flags.c_str()), flags.c_str());
  return *file ? 0 : ErrnoResult(errno);
}
