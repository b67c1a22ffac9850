// OutputDebugStringA goes nowhere unless a host installs a sink; tests use
// the sink to read what the system reports.
#include <mutex>

#include "zanole/zanole.h"

namespace {
std::mutex g_sinkLock;
ZanDebugSink g_sink = nullptr;
void* g_sinkContext = nullptr;
}  // namespace

extern "C" {

void WINAPI ZanSetDebugSink(ZanDebugSink sink, void* context) {
  std::lock_guard<std::mutex> hold(g_sinkLock);
  g_sink = sink;
  g_sinkContext = context;
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  std::lock_guard<std::mutex> hold(g_sinkLock);
  if (g_sink && lpOutputString) g_sink(lpOutputString, g_sinkContext);
}

}  // extern "C"
