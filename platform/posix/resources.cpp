// Resources of a module, from the directory the platform's resource
// compiler built into it. Names and types are numbers or case-insensitive
// strings ("#12" is the number 12).
#include <dlfcn.h>
#include <unicode/uchar.h>

#include <cstring>

#include "errors.h"
#include "module_directory.h"

using zanole::Fail;

namespace zanole {

const ZanResourceDirectory* DirectoryOf(HMODULE module) {
  module = LoaderHandle(module);
  if (!module) module = static_cast<HMODULE>(dlopen(nullptr, RTLD_LAZY));
  void* symbol = dlsym(module, "zan_resources");
  // dlsym also searches the module's dependencies; only its own counts.
  Dl_info info;
  void* owner = nullptr;
  if (!symbol || !dladdr1(symbol, &info, &owner, RTLD_DL_LINKMAP) || owner != static_cast<void*>(module))
    return nullptr;
  return static_cast<const ZanResourceDirectory*>(symbol);
}

}  // namespace zanole

namespace {

constexpr WORD kUserLanguage = 0x0409;

bool NameMatches(LPCWSTR wanted, const WCHAR* entryName, WORD entryId) {
  if (IS_INTRESOURCE(wanted)) return !entryName && entryId == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
  if (wanted[0] == u'#') {
    unsigned id = 0;
    for (const WCHAR* p = wanted + 1; *p; ++p) {
      if (*p < u'0' || *p > u'9') return false;
      id = id * 10 + (*p - u'0');
    }
    return !entryName && entryId == id;
  }
  if (!entryName) return false;
  for (; *wanted && *entryName; ++wanted, ++entryName)
    if (u_toupper(*wanted) != u_toupper(*entryName)) return false;
  return *wanted == *entryName;
}

const ZanResourceEntry* Find(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, bool anyLanguage) {
  const ZanResourceDirectory* directory = zanole::DirectoryOf(module);
  if (!directory) return Fail(ERROR_RESOURCE_DATA_NOT_FOUND, static_cast<const ZanResourceEntry*>(nullptr));
  const ZanResourceEntry* typeSeen = nullptr;
  const ZanResourceEntry* nameSeen = nullptr;
  // Without a wanted language: neutral, then the user's, then any.
  const WORD order[] = {language, 0, kUserLanguage};
  for (int pass = 0; pass < (anyLanguage ? 4 : 1); ++pass) {
    for (DWORD i = 0; i < directory->count; ++i) {
      const ZanResourceEntry& e = directory->entries[i];
      if (!NameMatches(type, e.typeName, e.typeId)) continue;
      typeSeen = &e;
      if (!NameMatches(name, e.name, e.nameId)) continue;
      nameSeen = &e;
      if (pass == 3 || e.language == order[pass]) return &e;
    }
  }
  DWORD error = !typeSeen ? ERROR_RESOURCE_TYPE_NOT_FOUND
                          : !nameSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_LANG_NOT_FOUND;
  return Fail(error, static_cast<const ZanResourceEntry*>(nullptr));
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage) {
  if (!lpType || !lpName) return Fail(ERROR_INVALID_PARAMETER, static_cast<HRSRC>(nullptr));
  bool any = PRIMARYLANGID(wLanguage) == 0;
  return reinterpret_cast<HRSRC>(const_cast<ZanResourceEntry*>(Find(hModule, lpType, lpName, wLanguage, any)));
}

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  return FindResourceExW(hModule, lpType, lpName, 0);
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
  if (!hResInfo) return Fail(ERROR_INVALID_HANDLE, static_cast<HGLOBAL>(nullptr));
  return const_cast<void*>(reinterpret_cast<const ZanResourceEntry*>(hResInfo)->data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
  if (!hResInfo) return Fail(ERROR_INVALID_HANDLE, DWORD(0));
  return reinterpret_cast<const ZanResourceEntry*>(hResInfo)->size;
}

INT WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, INT cchBufferMax) {
  if (!lpBuffer) return Fail(ERROR_INVALID_PARAMETER, 0);
  HRSRC block = FindResourceW(hInstance, MAKEINTRESOURCEW((uID >> 4) + 1), RT_STRING);
  const WCHAR* p = nullptr;
  DWORD units = 0;
  if (block) {
    p = static_cast<const WCHAR*>(LockResource(LoadResource(hInstance, block)));
    units = SizeofResource(hInstance, block) / sizeof(WCHAR);
  }
  const WCHAR* end = p + units;
  for (UINT i = 0; p && i < (uID & 15); ++i) {
    if (p >= end) break;
    p += 1 + *p;
  }
  if (!p || p >= end || *p == 0 || p + 1 + *p > end) {
    if (cchBufferMax > 0) lpBuffer[0] = 0;
    return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);
  }
  INT length = *p;
  if (cchBufferMax == 0) {
    // The caller asked for a read-only pointer into the resource.
    *reinterpret_cast<const WCHAR**>(lpBuffer) = p + 1;
    return length;
  }
  INT copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
  if (copied > 0) std::memcpy(lpBuffer, p + 1, static_cast<size_t>(copied) * sizeof(WCHAR));
  lpBuffer[copied > 0 ? copied : 0] = 0;
  return copied;
}

}  // extern "C"
