#include <thread>
#include <vector>

#include "support/hresult.h"

TEST(Interlocked, CountsAcrossThreads) {
  LONG volatile count = 0;
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) InterlockedIncrement(&count);
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(40000, count);
  EXPECT_EQ(39999, InterlockedDecrement(&count));
}

TEST(CriticalSection, IsReentrantAndExcludes) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // the owner may enter again
  BOOL otherGotIt = TRUE;
  std::thread([&] { otherGotIt = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(otherGotIt);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  std::thread([&] {
    otherGotIt = TryEnterCriticalSection(&cs);
    if (otherGotIt) LeaveCriticalSection(&cs);
  }).join();
  EXPECT_TRUE(otherGotIt);
  DeleteCriticalSection(&cs);
}

TEST(ThreadLocale, SetAndRestore) {
  LCID saved = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(MAKELCID(0x0407, SORT_DEFAULT)));
  EXPECT_EQ(0x0407u, GetThreadLocale());
  ASSERT_TRUE(SetThreadLocale(saved));
  EXPECT_EQ(saved, GetThreadLocale());
  EXPECT_NE(0, GetSystemDefaultLangID());
}

#if defined(ZAN_PLATFORM_POSIX)
TEST(DebugOutput, ReachesInstalledSinkOnly) {
  std::string seen;
  OutputDebugStringA("dropped\n");
  ZanSetDebugSink([](const char* text, void* ctx) { *static_cast<std::string*>(ctx) += text; }, &seen);
  OutputDebugStringA("one\n");
  ZanSetDebugSink(nullptr, nullptr);
  OutputDebugStringA("dropped\n");
  EXPECT_EQ("one\n", seen);
}
#endif
