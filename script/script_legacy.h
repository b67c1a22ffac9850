// The script of the legacy configuration: the same object, except that
// get_Line with a null out-pointer succeeds and writes nothing, as hosts
// of that configuration expect.
#pragma once

#include "script.h"

class CScriptLegacy : public CScript {
 public:
  CScriptLegacy() { nullLineOutIsSuccess_ = true; }
};
