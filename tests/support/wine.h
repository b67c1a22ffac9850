// Marked deviations of Wine from Windows, in the manner of Wine's own
// todo_wine: the checks still run everywhere. Under Wine their failures are
// expected and reported as known; if they all pass there, the deviation is
// gone and the test fails so that the mark is removed.
#pragma once

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <memory>

namespace zantest {

// True when the Windows build runs under Wine rather than Windows.
bool RunningUnderWine();

// One marked block: intercepts the block's failures under Wine and judges
// them when it ends.
class TodoWine {
 public:
  TodoWine(const char* reason, const char* file, int line);
  ~TodoWine();
  TodoWine(const TodoWine&) = delete;
  TodoWine& operator=(const TodoWine&) = delete;
  // True once, so the block runs exactly one time.
  bool Once() { return !done_ && (done_ = true); }

 private:
  const char* reason_;
  const char* file_;
  int line_;
  bool done_ = false;
  testing::TestPartResultArray results_;
  std::unique_ptr<testing::ScopedFakeTestPartResultReporter> reporter_;
};

}  // namespace zantest

// ZAN_TODO_WINE("why") { checks }: checks that Wine is known to fail.
#define ZAN_TODO_WINE(reason) \
  for (::zantest::TodoWine zan_todo_wine_(reason, __FILE__, __LINE__); zan_todo_wine_.Once();)

// ZAN_WINE_CRASHES("why") { checks }: checks that would bring Wine down
// (a corrupted heap), so under Wine they are reported, loudly, and not run.
#define ZAN_WINE_CRASHES(reason)                                                                  \
  if (::zantest::RunningUnderWine()) {                                                            \
    std::printf("[ WINE CRASHES ] %s: %s (not run)\n",                                            \
                ::testing::UnitTest::GetInstance()->current_test_info()->name(), reason);         \
  } else
