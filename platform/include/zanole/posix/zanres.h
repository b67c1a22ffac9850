// How a Linux module carries its resources: the resource compiler of this
// platform turns the module's .rc file into a directory that the module
// exports as `zan_resources`, which FindResource and LoadString read.
#pragma once

#include "basetypes.h"

struct HINSTANCE__;

typedef struct ZanResourceEntry {
  const WCHAR* typeName;  // null when the type is a number
  WORD typeId;
  const WCHAR* name;  // null when the name is a number
  WORD nameId;
  WORD language;
  const void* data;
  DWORD size;
} ZanResourceEntry;

typedef BOOL(WINAPI* ZanDllMainFn)(HINSTANCE__* instance, DWORD reason, void* reserved);

typedef struct ZanResourceDirectory {
  DWORD count;
  const ZanResourceEntry* entries;
  // The module's DllMain, or null; called by LoadLibrary and FreeLibrary.
  ZanDllMainFn dllMain;
} ZanResourceDirectory;
