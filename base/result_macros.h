// Early returns that say where a failure was seen. Each macro that returns
// a failure reports "file(line): failed 0x…" through OutputDebugStringA (a
// debugger's output on Windows, the host's debug sink on Linux) before it
// returns, so the output names every place a failing result passed.
//
//   ZAN_RETURN_IF_FAILED(expr)           expr's failure, reported
//   ZAN_RETURN_IF_FAILED_EXPECTED(expr)  expr's failure, not reported: a
//                                        result callers meet as a matter of
//                                        course (E_NOINTERFACE from a probe)
//   ZAN_RETURN_HR_IF(hr, condition)      hr when the condition holds
//   ZAN_RETURN_HR_IF_NULL(hr, pointer)   hr when the pointer is null
//   ZAN_RETURN_IF_NULL_ALLOC(pointer)    E_OUTOFMEMORY when it is null
//   ZAN_RETURN_HR(hr)                    hr, reported when it is a failure
//   ZAN_LOG_IF_FAILED(expr)              expr's result, reported when it is
//                                        a failure the caller goes on after
//
// expr is evaluated once. ZAN_CATCH_RETURN reports the same way.
#pragma once

#include <cstddef>

#include "zanole/zanole.h"

namespace zan {

// The report's text, cut to fit size (terminated); the length it needed.
int FormatFailure(char* buffer, size_t size, const char* file, int line, HRESULT hr) noexcept;

// Reports hr as seen at file and line and gives it back.
HRESULT ReportFailure(const char* file, int line, HRESULT hr) noexcept;

// Reports hr when it is a failure; gives it back either way.
inline HRESULT ReportIfFailed(const char* file, int line, HRESULT hr) noexcept {
  return FAILED(hr) ? ReportFailure(file, line, hr) : hr;
}

}  // namespace zan

#define ZAN_RETURN_IF_FAILED(expr)                                                  \
  do {                                                                              \
    const HRESULT zan_result_ = (expr);                                             \
    if (FAILED(zan_result_)) return ::zan::ReportFailure(__FILE__, __LINE__, zan_result_); \
  } while (0)

#define ZAN_RETURN_IF_FAILED_EXPECTED(expr) \
  do {                                      \
    const HRESULT zan_result_ = (expr);     \
    if (FAILED(zan_result_)) {              \
      return zan_result_;                   \
    }                                       \
  } while (0)

#define ZAN_RETURN_HR_IF(hr, condition)                                          \
  do {                                                                           \
    if (condition) return ::zan::ReportIfFailed(__FILE__, __LINE__, (hr));       \
  } while (0)

#define ZAN_RETURN_HR_IF_NULL(hr, pointer) ZAN_RETURN_HR_IF(hr, (pointer) == nullptr)

#define ZAN_RETURN_IF_NULL_ALLOC(pointer) ZAN_RETURN_HR_IF(E_OUTOFMEMORY, (pointer) == nullptr)

#define ZAN_RETURN_HR(hr) return ::zan::ReportIfFailed(__FILE__, __LINE__, (hr))

#define ZAN_LOG_IF_FAILED(expr) ::zan::ReportIfFailed(__FILE__, __LINE__, (expr))
