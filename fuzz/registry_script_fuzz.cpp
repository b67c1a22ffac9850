// A registry script, as any text: the interpreter never crashes, whatever
// it registers it can unregister, and a script that does not parse changes
// nothing. Seeds: server/resources/*.rgs.
#include <string>

#include "framework/registry_script.h"
#include "zanole/zanole.h"

namespace {

// The registry as text, for comparing before and after.
void Collect(const char* line, void* context) { static_cast<std::string*>(context)->append(line).append("\n"); }

std::string Snapshot() {
  std::string text;
  ZanRegistryDump(&Collect, &text);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WString script;
  for (size_t i = 0; i < size; ++i) script.push_back(static_cast<WCHAR>(data[i]));
  ZanRegistryReset();
  CRegistryScript registrar;
  registrar.AddReplacement(OLESTR("RELATIVE_PATH"), OLESTR("ZanScript.dll"));
  registrar.AddReplacement(OLESTR("APPID"), OLESTR("{EF1ED09A-5207-48C7-B5E7-EFF0E2B472CE}"));
  const std::string before = Snapshot();
  HRESULT hr = registrar.Run(script, true);
  if (hr == DISP_E_EXCEPTION && Snapshot() != before) __builtin_trap();
  registrar.Run(script, false);
  return 0;
}
