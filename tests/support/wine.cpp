#include "support/hresult.h"

namespace zantest {

bool RunningUnderWine() {
#if defined(ZAN_PLATFORM_WINDOWS)
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

}  // namespace zantest
