// A host that knows the classes only by ProgID, as an installed
// application does: it finds the library through the registry.
#include <cstdio>

#include "zanole/zanole.h"

int main() {
  if (FAILED(CoInitialize(nullptr))) return 2;
  int failures = 0;
  for (const WCHAR* progId : {OLESTR("Korvane.Script"), OLESTR("Korvane.Script.1"), OLESTR("Korvane.ScriptLoad"),
                              OLESTR("Korvane.ScriptLoad.1"), OLESTR("Korvane.ZanDictionary"),
                              OLESTR("Korvane.ZanDictionary.1")}) {
    CLSID clsid;
    IUnknown* object = nullptr;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                             reinterpret_cast<void**>(&object));
    if (object) object->Release();
    std::printf("%ls 0x%08X\n", reinterpret_cast<const wchar_t*>(progId), static_cast<unsigned>(hr));
    if (FAILED(hr)) ++failures;
  }
  CoUninitialize();
  return failures == 0 ? 0 : 1;
}
