// ZanScript driven as a host drives it, for the side-by-side benchmarks:
// the library loaded from its file, objects made through DllGetClassObject,
// only the interfaces used.
//   concat FILE       Script: Load + get_ConcatScriptLines
//   save FILE OUT     Script: Load + Save
//   scriptload FILE   ScriptLoad: Load + get_ConcatScriptLines
// Prints the text check (checksum.h) and the line count; with concat, also
// the heap the loaded document holds per line.
#include <cstdio>
#include <cstring>
#include <string>

#include "ZanScript_h.h"
#include "checksum.h"
#include "heap_in_use.h"
#include "zanole/zanole.h"

namespace {

HRESULT(STDAPICALLTYPE* g_getClassObject)(REFCLSID, REFIID, void**);

template <class I>
I* Create(REFCLSID clsid) {
  IClassFactory* factory = nullptr;
  I* object = nullptr;
  if (SUCCEEDED(g_getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    factory->CreateInstance(nullptr, IidOf<I>(), reinterpret_cast<void**>(&object));
    factory->Release();
  }
  return object;
}

WString Wide(const char* s) { return WString(s, s + std::strlen(s)); }

bool Load(IUnknown* object, const char* path) {
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(Wide(path).c_str(), 0));
  if (file) file->Release();
  return ok;
}

int Fail(const char* what) {
  std::fprintf(stderr, "zan_sidebyside: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Fail("usage: zan_sidebyside LIBRARY concat|save|scriptload FILE [OUT]");
  HMODULE library = LoadLibraryW(Wide(argv[1]).c_str());
  if (!library) return Fail("cannot load the library");
  g_getClassObject = reinterpret_cast<decltype(g_getClassObject)>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DllGetClassObject")));
  std::string mode = argv[2];
  const char* path = argv[3];
  BSTR text = nullptr;
  LONG lines = 0;
  if (mode == "scriptload") {
    IScript* loader = Create<IScript>(CLSID_ScriptLoad);
    if (!loader || !Load(loader, path) || FAILED(loader->get_ConcatScriptLines(&text))) return Fail("ScriptLoad");
    for (UINT i = 0, n = SysStringLen(text); i < n; ++i) lines += text[i] == u'\n';
    loader->Release();
  } else {
    size_t before = HeapInUse();
    IScript4* script = Create<IScript4>(CLSID_Script);
    if (!script || !Load(script, path)) return Fail("Load");
    size_t held = HeapInUse() - before;
    script->get_Size(&lines);
    if (mode == "save") {
      IPersistFile* file = nullptr;
      if (argc < 5 || FAILED(script->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
          FAILED(file->Save(Wide(argv[4]).c_str(), FALSE)))
        return Fail("Save");
      file->Release();
      std::printf("saved %d\n", static_cast<int>(lines));
      script->Release();
      return 0;
    }
    if (FAILED(script->get_ConcatScriptLines(&text))) return Fail("get_ConcatScriptLines");
    std::fprintf(stderr, "held %.1f bytes/line\n", lines ? double(held) / lines : 0.0);
    script->Release();
  }
  std::printf("%s %d\n", TextCheck(text, SysStringLen(text)).c_str(), static_cast<int>(lines));
  SysFreeString(text);
  return 0;
}
