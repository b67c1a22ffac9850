#include "support/library.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zantest {

namespace {
// Through void(*)(), the one function type every other converts to.
template <class Fn>
Fn Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
}  // namespace

const Library& TheLibrary() {
  static const Library library = [] {
    Library l{};
    const char* path = ZAN_LIBRARY_PATH;
    WString name(path, path + std::char_traits<char>::length(path));
    l.module = LoadLibraryW(name.c_str());
    if (!l.module) {
      std::fprintf(stderr, "cannot load %s (error %u)\n", path, static_cast<unsigned>(GetLastError()));
      std::abort();
    }
    l.getClassObject = Entry<GetClassObjectFn>(l.module, "DllGetClassObject");
    l.canUnloadNow = Entry<CanUnloadNowFn>(l.module, "DllCanUnloadNow");
    if (!l.getClassObject || !l.canUnloadNow) {
      std::fprintf(stderr, "%s lacks its entry points\n", path);
      std::abort();
    }
    return l;
  }();
  return library;
}

}  // namespace zantest
