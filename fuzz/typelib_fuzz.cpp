// A type library file, as any bytes: loading it never crashes, and
// everything a loaded library describes can be read back through ITypeLib
// and ITypeInfo. Seed: the library the build makes (interfaces/generated).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "zanole/zanole.h"

namespace {

void Walk(ITypeInfo* info, int depth) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  for (UINT f = 0; f < attr->cFuncs; ++f) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(f, &func))) continue;
    BSTR names[8] = {};
    UINT count = 0;
    info->GetNames(func->memid, names, 8, &count);
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
    BSTR name = nullptr, doc = nullptr;
    info->GetDocumentation(func->memid, &name, &doc, nullptr, nullptr);
    SysFreeString(name);
    SysFreeString(doc);
    info->ReleaseFuncDesc(func);
  }
  for (UINT i = 0; i < attr->cImplTypes && depth < 4; ++i) {
    HREFTYPE ref = 0;
    ITypeInfo* base = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(i, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, &base))) {
      Walk(base, depth + 1);
      base->Release();
    }
  }
  info->ReleaseTypeAttr(attr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/zan_fuzz_typelib_" + std::to_string(getpid()) + ".tlb";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  WString name(path.begin(), path.end());
  ITypeLib* lib = nullptr;
  if (FAILED(LoadTypeLibEx(name.c_str(), REGKIND_NONE, &lib))) return 0;
  for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfo(i, &info))) continue;
    Walk(info, 0);
    info->Release();
  }
  lib->Release();
  return 0;
}
