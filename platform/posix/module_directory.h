#pragma once

#include "zanole/posix/zanres.h"
#include "zanole/zanole.h"

namespace zanole {
// The resource directory a module exports, or null.
const ZanResourceDirectory* DirectoryOf(HMODULE module);
}  // namespace zanole
