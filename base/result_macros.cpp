#include "result_macros.h"

#include <cstdio>

namespace zan {

int FormatFailure(char* buffer, size_t size, const char* file, int line, HRESULT hr) noexcept {
  return std::snprintf(buffer, size, "%s(%d): failed 0x%08X\n", file ? file : "?", line, static_cast<unsigned>(hr));
}

HRESULT ReportFailure(const char* file, int line, HRESULT hr) noexcept {
  // Long enough for any path the build gives; a longer one is cut, never
  // allocated for, since the failure may be the allocator's.
  char text[512];
  FormatFailure(text, sizeof text, file, line, hr);
  OutputDebugStringA(text);
  return hr;
}

}  // namespace zan
