#include "errors.h"

namespace {
thread_local DWORD g_lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError() { return g_lastError; }
extern "C" void WINAPI SetLastError(DWORD dwErrCode) { g_lastError = dwErrCode; }
