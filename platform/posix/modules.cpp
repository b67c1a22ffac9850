// Libraries by UTF-16 name through the dynamic loader. A module handle is
// the loader's handle (its link map). A bare file name is looked for as
// Windows looks: in the program's folder, then in the platform's own (the
// "system" folder, where an installed server lies beside libzanole), then
// along the loader's search path. A module built with this platform's
// resources may have a DllMain: it is called when LoadLibrary first loads
// the module (a FALSE answer refuses the load) and when FreeLibrary lets it
// go.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>

#include "errors.h"
#include "module_directory.h"
#include "utf8_text.h"
#include "zanole/zanole.h"

using zanole::Fail;

namespace {

std::mutex g_loadLock;
// Our own count of LoadLibrary calls per module, to know when to call
// DllMain; the loader keeps its own.
std::map<HMODULE, int>& LoadCounts() {
  static auto* counts = new std::map<HMODULE, int>();
  return *counts;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

std::string PathOf(HMODULE module) {
  struct link_map* map = nullptr;
  if (module && dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
    return map->l_name;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// Where a bare name is found first; the loader's own search otherwise.
std::string Locate(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  Dl_info platform{};
  const std::string folders[] = {
      FolderOf(PathOf(nullptr)),
      dladdr(reinterpret_cast<void*>(&LoadLibraryExW), &platform) && platform.dli_fname
          ? FolderOf(platform.dli_fname)
          : std::string()};
  for (const std::string& folder : folders) {
    if (!folder.empty() && access((folder + name).c_str(), F_OK) == 0) return folder + name;
  }
  return name;
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, void*, DWORD dwFlags) {
  std::string path;
  if (!lpLibFileName || !zanole::Utf8FromWide(lpLibFileName, &path) || path.empty())
    return Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
  std::lock_guard<std::mutex> hold(g_loadLock);
  auto* module = static_cast<HMODULE>(dlopen(Locate(path).c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!module) return Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
  // Loaded for its resources only: no DllMain, unless it already runs as code.
  if ((dwFlags & LOAD_LIBRARY_AS_DATAFILE) && !LoadCounts().count(module))
    return reinterpret_cast<HMODULE>(reinterpret_cast<ULONG_PTR>(module) | 1);
  if (LoadCounts()[module]++ == 0) {
    const ZanResourceDirectory* directory = zanole::DirectoryOf(module);
    if (directory && directory->dllMain && !directory->dllMain(module, DLL_PROCESS_ATTACH, nullptr)) {
      LoadCounts().erase(module);
      dlclose(module);
      return Fail(ERROR_DLL_INIT_FAILED, static_cast<HMODULE>(nullptr));
    }
  }
  return module;
}

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, nullptr, 0); }

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (!hLibModule) return Fail(ERROR_INVALID_HANDLE, FALSE);
  std::lock_guard<std::mutex> hold(g_loadLock);
  if (zanole::IsDataFileHandle(hLibModule))
    return dlclose(zanole::LoaderHandle(hLibModule)) == 0 ? TRUE : Fail(ERROR_INVALID_HANDLE, FALSE);
  auto it = LoadCounts().find(hLibModule);
  if (it != LoadCounts().end() && --it->second == 0) {
    LoadCounts().erase(it);
    const ZanResourceDirectory* directory = zanole::DirectoryOf(hLibModule);
    if (directory && directory->dllMain) directory->dllMain(hLibModule, DLL_PROCESS_DETACH, nullptr);
  }
  return dlclose(hLibModule) == 0 ? TRUE : Fail(ERROR_INVALID_HANDLE, FALSE);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!hModule || !lpProcName || zanole::IsDataFileHandle(hModule))
    return Fail(ERROR_INVALID_HANDLE, static_cast<FARPROC>(nullptr));
  void* symbol = dlsym(hModule, lpProcName);
  if (!symbol) return Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
  return reinterpret_cast<FARPROC>(symbol);
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  if (!lpFilename || nSize == 0) return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD(0));
  hModule = zanole::LoaderHandle(hModule);
  std::string path = PathOf(hModule ? hModule : static_cast<HMODULE>(dlopen(nullptr, RTLD_LAZY)));
  int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0);
  if (path.empty() || n <= 0) return Fail(ERROR_MOD_NOT_FOUND, DWORD(0));
  WString wide(static_cast<size_t>(n), 0);
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), wide.data(), n);
  // Like Windows: a name that does not fit is cut, terminated, and the
  // full buffer size is returned with ERROR_INSUFFICIENT_BUFFER.
  if (wide.size() >= nSize) {
    wide.copy(lpFilename, nSize - 1);
    lpFilename[nSize - 1] = 0;
    return Fail(ERROR_INSUFFICIENT_BUFFER, nSize);
  }
  wide.copy(lpFilename, wide.size());
  lpFilename[wide.size()] = 0;
  return static_cast<DWORD>(wide.size());
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
  if (!lpModuleName) return static_cast<HMODULE>(dlopen(nullptr, RTLD_LAZY));
  std::string name;
  if (!zanole::Utf8FromWide(lpModuleName, &name)) return Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
  void* handle = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
  dlclose(handle);  // no reference is handed out
  return static_cast<HMODULE>(handle);
}

BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule) {
  if (!phModule) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *phModule = nullptr;
  if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)) {
    *phModule = GetModuleHandleW(lpModuleName);
    return *phModule ? TRUE : FALSE;
  }
  Dl_info info;
  struct link_map* map = nullptr;
  if (!dladdr1(lpModuleName, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map)
    return Fail(ERROR_MOD_NOT_FOUND, FALSE);
  if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  *phModule = reinterpret_cast<HMODULE>(map);
  return TRUE;
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) { return hLibModule ? TRUE : FALSE; }

}  // extern "C"
