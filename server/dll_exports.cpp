#include "exports.h"
#include "object_map.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
#ifdef ZAN_LEGACY_CONFIGURATION
  // This configuration sets its module up on attach and never refuses it.
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    StartServer();
  } else if (reason == DLL_PROCESS_DETACH) {
    StopServer();
  }
  return TRUE;
#else
  (void)instance;
  return reason == DLL_PROCESS_ATTACH && ServerInitFailed() ? FALSE : TRUE;
#endif
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return ServerClassObjects().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return ZanModule().GetLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer(void) { return ServerRegistration().RegisterServer(nullptr); }

STDAPI DllUnregisterServer(void) { return ServerRegistration().UnregisterServer(nullptr); }
