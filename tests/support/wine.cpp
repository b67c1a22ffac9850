#include "support/wine.h"

#include <cstdio>

#include "zanole/zanole.h"

namespace zantest {

bool RunningUnderWine() {
#if defined(ZAN_PLATFORM_WINDOWS)
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

TodoWine::TodoWine(const char* reason, const char* file, int line) : reason_(reason), file_(file), line_(line) {
  if (RunningUnderWine())
    reporter_ = std::make_unique<testing::ScopedFakeTestPartResultReporter>(
        testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results_);
}

TodoWine::~TodoWine() {
  if (!reporter_) return;
  reporter_.reset();  // from here on failures reach the test again
  int failed = 0;
  for (int i = 0; i < results_.size(); ++i) failed += results_.GetTestPartResult(i).failed() ? 1 : 0;
  if (failed == 0) {
    ADD_FAILURE_AT(file_, line_) << "Wine now passes a check marked as its deviation (" << reason_
                                 << "): remove the mark";
  } else {
    std::printf("[ TODO WINE    ] %s:%d: %s (%d known failure%s)\n", file_, line_, reason_, failed,
                failed == 1 ? "" : "s");
  }
}

}  // namespace zantest
