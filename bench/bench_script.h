// A Script object made in process, for the benchmarks.
#pragma once

#include "base/com_ptr.h"
#include "script/script.h"

inline zan::ComPtr<IScript4> NewScript() {
  zan::ComPtr<IScript4> script;
  zan::CreateInstance<CScript>(nullptr, IID_IScript4, script.put_void());
  return script;
}
