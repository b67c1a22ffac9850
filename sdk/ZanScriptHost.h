// What a host of ZanScript includes: the interfaces, their ids (link
// ZanScript::host, or -lzanscript_ids) and the one step that differs
// between the targets before CoCreateInstance can make the classes.
#pragma once

#include <ZanScript_h.h>

// Makes Script, ScriptLoad and ZanDictionary creatable with CoCreateInstance
// in this process; call it once, after CoInitialize.
//
// On Windows the registry is the system's: an installer registers the
// library once ("regsvr32 ZanScript.dll", which needs no host code), so
// this only checks that it did. On Linux the registry lives in the process:
// the library is loaded (found beside the program or beside libzanole, as
// Windows looks in the program's and the system folder) and registers
// itself there, which takes some tens of milliseconds.
inline HRESULT ZanScriptRegisterForProcess() {
#if defined(_WIN32)
  CLSID clsid;
  return CLSIDFromProgID(L"Korvane.Script", &clsid);
#else
  HMODULE library = LoadLibraryW(u"libZanScript.so");
  if (!library) return HRESULT_FROM_WIN32(GetLastError());
  auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DllRegisterServer")));
  return registerServer ? registerServer() : HRESULT_FROM_WIN32(GetLastError());
#endif
}
