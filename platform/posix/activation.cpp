// Object creation through the registry: a class's InprocServer32 names the
// library to load; its DllGetClassObject hands out the class object.
// Loaded servers stay loaded until CoFreeUnusedLibraries finds them idle,
// as Windows does: no call into the server in progress, DllCanUnloadNow
// answering S_OK, and both for a delay. The delay covers what no count
// shows: a thread that has just given back the server's last lock and is
// still running its code (the end of a Release, a destructor).
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "errors.h"
#include "zanole/zanole.h"

namespace zanole {
IGlobalInterfaceTable* TheGlobalInterfaceTable();
}  // namespace zanole

namespace {

thread_local int g_initCount = 0;

using Clock = std::chrono::steady_clock;
// Windows' own default (CoFreeUnusedLibraries, or a delay of INFINITE).
constexpr std::chrono::milliseconds kDefaultUnloadDelay = std::chrono::minutes(10);

struct Server {
  HMODULE module = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, LPVOID*) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
  int calls = 0;           // calls into the server in progress; it stays loaded across them
  bool idle = false;       // found unloadable by the last sweep, and since when
  Clock::time_point idleSince;
};

std::mutex g_serversLock;
std::map<std::u16string, Server>& Servers() {
  static auto* servers = new std::map<std::u16string, Server>();
  return *servers;
}

template <class Fn>
Fn Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The default string value of HKCR\path, or false.
bool ReadDefault(const std::u16string& path, std::u16string* text) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  bool ok = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
  if (ok) {
    std::vector<BYTE> data(size + 2, 0);
    ok = RegQueryValueExW(key, nullptr, nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS;
    *text = reinterpret_cast<const char16_t*>(data.data());
  }
  RegCloseKey(key);
  return ok;
}

// The server at path, loaded if need be, held for one call into it: the
// caller ends the call with EndCall.
HRESULT BeginCall(const std::u16string& path, Server** out) {
  std::lock_guard<std::mutex> hold(g_serversLock);
  auto it = Servers().find(path);
  if (it == Servers().end()) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return CO_E_DLLNOTFOUND;
    Server server;
    server.module = module;
    server.getClassObject = Entry<decltype(server.getClassObject)>(module, "DllGetClassObject");
    server.canUnloadNow = Entry<decltype(server.canUnloadNow)>(module, "DllCanUnloadNow");
    if (!server.getClassObject) {
      FreeLibrary(module);
      return CO_E_ERRORINDLL;
    }
    it = Servers().emplace(path, server).first;
  }
  ++it->second.calls;
  it->second.idle = false;
  *out = &it->second;
  return S_OK;
}

// An entry is never erased while a call holds it, so the pointer stays good.
void EndCall(Server* server) {
  std::lock_guard<std::mutex> hold(g_serversLock);
  --server->calls;
}

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID, DWORD) { return g_initCount++ == 0 ? S_OK : S_FALSE; }
HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}
void STDAPICALLTYPE CoUninitialize() {
  if (g_initCount > 0) --g_initCount;
}

HRESULT STDAPICALLTYPE CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  *lpclsid = CLSID_NULL;
  return zanole::NoThrow(E_OUTOFMEMORY, [&] {
    std::u16string text;
    if (!ReadDefault(std::u16string(lpszProgID) + u"\\CLSID", &text)) return CO_E_CLASSSTRING;
    return CLSIDFromString(text.c_str(), lpclsid) == S_OK ? S_OK : CO_E_CLASSSTRING;
  });
}

HRESULT STDAPICALLTYPE CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO*, REFIID riid,
                                        LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (g_initCount == 0) return CO_E_NOTINITIALIZED;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  WCHAR clsid[39];
  StringFromGUID2(rclsid, clsid, 39);
  Server* server = nullptr;
  HRESULT hr = zanole::NoThrow(E_OUTOFMEMORY, [&] {
    std::u16string path;
    if (!ReadDefault(std::u16string(u"CLSID\\") + clsid + u"\\InprocServer32", &path) || path.empty())
      return REGDB_E_CLASSNOTREG;
    return BeginCall(path, &server);
  });
  if (FAILED(hr)) return hr;
  hr = server->getClassObject(rclsid, riid, ppv);
  EndCall(server);
  return hr;
}

HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                        LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // The platform's own classes need no registration.
  if (IsEqualGUID(rclsid, CLSID_StdGlobalInterfaceTable)) {
    if (g_initCount == 0) return CO_E_NOTINITIALIZED;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return zanole::TheGlobalInterfaceTable()->QueryInterface(riid, ppv);
  }
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_PPV_ARGS(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

void STDAPICALLTYPE CoFreeUnusedLibrariesEx(DWORD dwUnloadDelay, DWORD) {
  const std::chrono::milliseconds delay =
      dwUnloadDelay == INFINITE ? kDefaultUnloadDelay : std::chrono::milliseconds(dwUnloadDelay);
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> hold(g_serversLock);
  for (auto it = Servers().begin(); it != Servers().end();) {
    Server& server = it->second;
    if (server.calls > 0 || !server.canUnloadNow || server.canUnloadNow() != S_OK) {
      server.idle = false;
    } else if (!server.idle) {
      server.idle = true;
      server.idleSince = now;
    }
    if (server.idle && now - server.idleSince >= delay) {
      FreeLibrary(server.module);
      it = Servers().erase(it);
    } else {
      ++it;
    }
  }
}

void STDAPICALLTYPE CoFreeUnusedLibraries() { CoFreeUnusedLibrariesEx(INFINITE, 0); }

}  // extern "C"
