// The library under test, loaded the way a host loads an in-process server
// and reached only through its exported entry points.
#pragma once

#include "zanole/zanole.h"

namespace zantest {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

struct Library {
  HMODULE module;
  GetClassObjectFn getClassObject;
  CanUnloadNowFn canUnloadNow;
};

// Loaded on first use and kept for the process.
const Library& TheLibrary();

}  // namespace zantest

// The entry points under the names a host calls them by.
inline HRESULT DllGetClassObjectOfLibrary(REFCLSID clsid, REFIID iid, void** ppv) {
  return zantest::TheLibrary().getClassObject(clsid, iid, ppv);
}
inline HRESULT DllCanUnloadNowOfLibrary() { return zantest::TheLibrary().canUnloadNow(); }
