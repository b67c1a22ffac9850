// Host-settable behaviour of the Linux platform layer: what on Windows comes
// from the system's configuration or a debugger.
#pragma once

#include "basetypes.h"

extern "C" {
// Sets the code page that CP_ACP stands for (1252 until set). Fails for a
// code page that cannot be converted.
BOOL WINAPI ZanSetAnsiCodePage(UINT codePage);
// Receives every OutputDebugStringA text; null discards them again.
typedef void (*ZanDebugSink)(const char* text, void* context);
void WINAPI ZanSetDebugSink(ZanDebugSink sink, void* context);

// Writes the registry, one line per key and per value, to sink; for
// inspection by hosts and tests.
typedef void (*ZanLineSink)(const char* line, void* context);
void WINAPI ZanRegistryDump(ZanLineSink sink, void* context);
// Puts the registry back to the platform's own entries only.
void WINAPI ZanRegistryReset();

// The BSTRs allocated and not yet freed in the process: tests compare it
// before and after, so that a string a test path forgets shows.
LONG WINAPI ZanLiveBstrCount();
}
