// The result macros return what failed and say where: file and line reach
// the debug output.
#include <string>

#include "base/result_macros.h"
#include "support/hresult.h"

namespace {

int g_evaluated = 0;
HRESULT Counted(HRESULT hr) {
  ++g_evaluated;
  return hr;
}

constexpr int kFailedLine = __LINE__ + 2;
HRESULT ReturnsIfFailed(HRESULT hr) {
  ZAN_RETURN_IF_FAILED(Counted(hr));
  return S_FALSE;
}

HRESULT ReturnsIfFailedExpected(HRESULT hr) {
  ZAN_RETURN_IF_FAILED_EXPECTED(hr);
  return S_FALSE;
}

HRESULT ReturnsNullAlloc(void* p) {
  ZAN_RETURN_IF_NULL_ALLOC(p);
  ZAN_RETURN_HR_IF(E_INVALIDARG, p == &g_evaluated);
  ZAN_RETURN_HR(S_FALSE);
}

HRESULT Catches(bool bad) {
  try {
    if (bad) zan::ThrowHr(E_ACCESSDENIED);
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

}  // namespace

TEST(ResultMacros, ReturnTheFailureEvaluatedOnceAndGoOnAfterSuccess) {
  g_evaluated = 0;
  EXPECT_HR(E_OUTOFMEMORY, ReturnsIfFailed(E_OUTOFMEMORY));
  EXPECT_HR(S_FALSE, ReturnsIfFailed(S_FALSE));  // a success that is not S_OK goes on
  EXPECT_EQ(2, g_evaluated);
  EXPECT_HR(E_NOINTERFACE, ReturnsIfFailedExpected(E_NOINTERFACE));
  EXPECT_HR(S_FALSE, ReturnsIfFailedExpected(S_OK));
  int something = 0;
  EXPECT_HR(E_OUTOFMEMORY, ReturnsNullAlloc(nullptr));
  EXPECT_HR(E_INVALIDARG, ReturnsNullAlloc(&g_evaluated));
  EXPECT_HR(S_FALSE, ReturnsNullAlloc(&something));
  EXPECT_HR(E_ACCESSDENIED, Catches(true));
  EXPECT_HR(S_OK, Catches(false));
  EXPECT_HR(E_FAIL, ZAN_LOG_IF_FAILED(E_FAIL));
}

TEST(ResultMacros, ReportNamesFileLineAndResult) {
  char text[128];
  int needed = zan::FormatFailure(text, sizeof text, "framework/table.cpp", 42, E_OUTOFMEMORY);
  EXPECT_STREQ("framework/table.cpp(42): failed 0x8007000E\n", text);
  EXPECT_EQ(static_cast<int>(std::string(text).size()), needed);
  char small[12];
  zan::FormatFailure(small, sizeof small, "framework/table.cpp", 42, E_OUTOFMEMORY);
  EXPECT_STREQ("framework/t", small);  // cut, still terminated
}

#if defined(ZAN_PLATFORM_POSIX)
// Windows hands the same text to a debugger; here a host's sink reads it.
TEST(ResultMacros, FailuresReachTheDebugOutputSuccessesAndExpectedOnesDoNot) {
  std::string seen;
  ZanSetDebugSink([](const char* text, void* ctx) { *static_cast<std::string*>(ctx) += text; }, &seen);
  ReturnsIfFailed(S_OK);
  ReturnsIfFailedExpected(E_NOINTERFACE);
  ReturnsNullAlloc(&seen);
  EXPECT_EQ("", seen);
  ReturnsIfFailed(E_ACCESSDENIED);
  Catches(true);
  ZanSetDebugSink(nullptr, nullptr);
  const std::string expected = std::string(__FILE__) + "(" + std::to_string(kFailedLine) + "): failed 0x80070005\n";
  EXPECT_EQ(0u, seen.find(expected)) << seen;
  EXPECT_NE(std::string::npos, seen.find(": failed 0x80070005\n", expected.size())) << seen;  // the catch
}
#endif
