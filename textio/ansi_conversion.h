// UTF-16 to and from a code page through the platform, into exactly sized
// arrays. Counts include the terminator; -1 leaves *out null.
#pragma once

#include <memory>

#include "zanole/zanole.h"

int AnsiToWideAlloc(const char* source, std::unique_ptr<WCHAR[]>* out, UINT codePage);
int WideToAnsiAlloc(const WCHAR* source, std::unique_ptr<char[]>* out, UINT codePage);
