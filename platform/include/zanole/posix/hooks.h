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
// The same for SAFEARRAYs (the arrays Keys and Items hand out).
LONG WINAPI ZanLiveSafeArrayCount();

// Fault injection, for tests. Allocations: the n-th allocation from now
// (0: the next) fails, counting BSTRs, SAFEARRAYs, task memory and every
// caller of ZanAllocationMayProceed (a test's operator new); -1 disarms.
void WINAPI ZanInjectAllocationFault(LONG n);
// Counts one allocation; FALSE when the armed fault falls on it.
BOOL WINAPI ZanAllocationMayProceed();
// Whether the armed allocation fault has fallen since it was armed.
BOOL WINAPI ZanAllocationFaultFired();

// Files: the next file opened for writing (or, for ZAN_FAULT_READ_ERROR,
// for reading) fails at the given step; offset is the byte at which a
// write or read fails. Stays armed until a file meets it.
typedef enum ZanFileFault {
  ZAN_FAULT_NONE,
  ZAN_FAULT_OPEN,         // the open fails (no room for a new file)
  ZAN_FAULT_DEVICE_FULL,  // writes succeed up to offset, then fail with no room
  ZAN_FAULT_WRITE_ERROR,  // the write that would pass offset fails (an I/O error)
  ZAN_FAULT_SYNC,         // flushing to the disk fails
  ZAN_FAULT_CLOSE,        // closing fails
  ZAN_FAULT_REPLACE,      // putting a new file in the old one's place fails
  ZAN_FAULT_READ_ERROR,   // reading at offset fails (a damaged disk)
} ZanFileFault;
void WINAPI ZanInjectFileFault(ZanFileFault fault, LONGLONG offset);
// Whether the armed file fault has been met since it was armed.
BOOL WINAPI ZanFileFaultFired();
}
