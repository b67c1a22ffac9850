#include "component.h"

#include <cstdio>

#include "output.h"

namespace {
// The library's file name on this target, as the build names it.
const char kLibrary[] = ZAN_LIBRARY_FILE;

HMODULE LoadFrom(WString path) {
  path.append(kLibrary, kLibrary + std::char_traits<char>::length(kLibrary));
  return LoadLibraryW(path.c_str());
}

}  // namespace

// Beside the tool, as built and as installed on Windows; an installed Linux
// tool finds it in the library folder instead.
bool Component::Load() {
  WCHAR self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  WString folder(self, n < MAX_PATH ? n : 0);
  folder.resize(folder.find_last_of(OLESTR("\\/")) + 1);
  HMODULE module = LoadFrom(folder);
  if (!module) {
    const char installed[] = ZAN_INSTALLED_LIBRARY_DIR;
    module = LoadFrom(folder + WString(installed, installed + sizeof installed - 1));
  }
  if (module)
    getClassObject_ = reinterpret_cast<decltype(getClassObject_)>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
  if (!getClassObject_) {
    folder.append(kLibrary, kLibrary + std::char_traits<char>::length(kLibrary));
    PrintError(folder.c_str(), "cannot load the ZanScript library");
    return false;
  }
  return true;
}

template <class I>
zan::ComPtr<I> Component::Create(REFCLSID clsid) const {
  zan::ComPtr<IClassFactory> factory;
  zan::ComPtr<I> object;
  if (SUCCEEDED(getClassObject_(clsid, IID_PPV_ARGS(factory.put()))))
    factory->CreateInstance(nullptr, IID_PPV_ARGS(object.put()));
  return object;
}

zan::ComPtr<IScript4> Component::NewScript() const { return Create<IScript4>(CLSID_Script); }
