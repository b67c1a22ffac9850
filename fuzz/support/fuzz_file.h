// The fuzz input as a file on disk, for the targets that load files: one
// path per process, rewritten for every input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "zanole/zanole.h"

namespace zanfuzz {

inline WString Wide(const std::string& s) { return WString(s.begin(), s.end()); }

// The path of this process's file for target, holding exactly data.
inline WString WriteInput(const char* target, const uint8_t* data, size_t size) {
  const std::string path = std::string("/tmp/zan_fuzz_") + target + "_" + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return WString();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return Wide(path);
}

// Whole file as bytes; empty when it cannot be read.
inline std::string ReadFile(const WString& name) {
  std::string path(name.begin(), name.end()), bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

}  // namespace zanfuzz
