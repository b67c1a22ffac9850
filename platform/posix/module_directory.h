#pragma once

#include "zanole/posix/zanres.h"
#include "zanole/zanole.h"

namespace zanole {
// A library loaded only to read its resources has a handle with the low
// bit set, as on Windows; this is the loader's handle behind either kind.
inline HMODULE LoaderHandle(HMODULE module) {
  return reinterpret_cast<HMODULE>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR(1));
}
inline bool IsDataFileHandle(HMODULE module) { return reinterpret_cast<ULONG_PTR>(module) & 1; }

// The resource directory a module exports, or null.
const ZanResourceDirectory* DirectoryOf(HMODULE module);
}  // namespace zanole
