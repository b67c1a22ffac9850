#include "exports.h"
#include "object_map.h"

namespace {
// Built when the library loads and torn down when it unloads; after that
// DllGetClassObject answers E_UNEXPECTED.
CClassObjectTable g_classObjects;
}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return g_classObjects.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return ZanModule().GetLockCount() == 0 ? S_OK : S_FALSE; }
