// Loading libraries by UTF-16 name through the dynamic loader. A bare file
// name goes through the loader's search path, as on Windows.
#include <dlfcn.h>

#include <string>

#include "errors.h"
#include "zanole/zanole.h"

using zanole::Fail;

namespace {

bool ToUtf8(LPCWSTR text, std::string* out) {
  int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out->data(), n, nullptr, nullptr);
  out->pop_back();
  return true;
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, void*, DWORD) {
  std::string path;
  if (!lpLibFileName || !ToUtf8(lpLibFileName, &path) || path.empty())
    return Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
  return static_cast<HMODULE>(handle);
}

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, nullptr, 0); }

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (!hLibModule) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return dlclose(hLibModule) == 0 ? TRUE : Fail(ERROR_INVALID_HANDLE, FALSE);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!hModule || !lpProcName) return Fail(ERROR_INVALID_HANDLE, static_cast<FARPROC>(nullptr));
  void* symbol = dlsym(hModule, lpProcName);
  if (!symbol) return Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
  return reinterpret_cast<FARPROC>(symbol);
}

}  // extern "C"
