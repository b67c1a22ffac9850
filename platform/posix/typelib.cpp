// Type libraries. No registry of type libraries exists on this target yet,
// so every registered-library lookup fails as an unregistered one does.
#include "zanole/zanole.h"

extern "C" HRESULT STDAPICALLTYPE LoadRegTypeLib(REFGUID, WORD, WORD, LCID, ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  return TYPE_E_LIBNOTREGISTERED;
}
