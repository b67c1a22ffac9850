#include "exports.h"
#include "object_map.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return ServerClassObjects().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return ZanModule().GetLockCount() == 0 ? S_OK : S_FALSE; }
