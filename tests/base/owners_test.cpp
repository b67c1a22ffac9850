// The one owner template and the owners made of it: what reset, put,
// release and moves close, and that each owner gives its resource back.
#include <cstdio>
#include <thread>
#include <vector>

#include "base/critical_section_lock.h"
#include "base/unique_any.h"
#include "support/counting_object.h"
#include "support/hresult.h"
#include "support/temp_folder.h"

using zan::UniqueAny;
using zan::UniqueBstr;
using zan::UniqueVariant;

namespace {

// Handles are small numbers; 0 owns nothing. Every close is recorded.
std::vector<int> g_closed;
void CloseProbe(int handle) noexcept { g_closed.push_back(handle); }
using UniqueProbe = UniqueAny<zan::HandleTraits<int, &CloseProbe>>;

class UniqueAnyTest : public testing::Test {
 protected:
  void SetUp() override { g_closed.clear(); }
};

#if defined(ZAN_PLATFORM_POSIX)
// The platform counts live strings and arrays: an owner that forgets one
// shows here.
class LiveCount {
 public:
  LiveCount() : bstrs_(ZanLiveBstrCount()), arrays_(ZanLiveSafeArrayCount()) {}
  LONG Bstrs() const { return ZanLiveBstrCount() - bstrs_; }
  LONG Arrays() const { return ZanLiveSafeArrayCount() - arrays_; }

 private:
  LONG bstrs_, arrays_;
};
#endif

}  // namespace

TEST_F(UniqueAnyTest, ResetAndPutCloseWhatWasHeldReleaseDoesNot) {
  {
    UniqueProbe owner(1);
    EXPECT_TRUE(owner);
    owner.reset(2);
    EXPECT_EQ(std::vector<int>{1}, g_closed);
    owner.reset(2);  // the same handle again: still held, not closed
    EXPECT_EQ(std::vector<int>{1}, g_closed);
    *owner.put() = 3;  // an out parameter closes the old handle first
    EXPECT_EQ((std::vector<int>{1, 2}), g_closed);
    EXPECT_EQ(3, owner.release());
    EXPECT_FALSE(owner);
    owner.reset();  // nothing held, nothing closed
    *owner.addressof() = 4;  // in-out: nothing closed
    EXPECT_EQ((std::vector<int>{1, 2}), g_closed);
  }
  EXPECT_EQ((std::vector<int>{1, 2, 4}), g_closed);
}

TEST_F(UniqueAnyTest, MovesTransferAndCloseTheTargetsOwnOnce) {
  {
    UniqueProbe a(1), b(2);
    b = std::move(a);
    EXPECT_EQ(std::vector<int>{2}, g_closed);
    EXPECT_FALSE(a);
    EXPECT_EQ(1, b.get());
    UniqueProbe c(std::move(b));
    EXPECT_FALSE(b);
    a.reset(5);
    a.swap(c);
    EXPECT_EQ(5, c.get());
  }
  EXPECT_EQ((std::vector<int>{2, 5, 1}), g_closed);
}

TEST(Owners, BstrFromTextUnitsAndNull) {
#if defined(ZAN_PLATFORM_POSIX)
  LiveCount live;
#endif
  {
    UniqueBstr text = UniqueBstr::FromText(OLESTR("abc"));
    EXPECT_EQ(3u, text.length());
    UniqueBstr units = UniqueBstr::FromUnits(OLESTR("a\0b"), 3);
    EXPECT_EQ(3u, units.length());
    UniqueBstr none = UniqueBstr::FromText(nullptr);  // the empty string, no allocation
    EXPECT_EQ(nullptr, none.get());
    EXPECT_EQ(0u, none.length());
    units = std::move(text);
    EXPECT_EQ(nullptr, text.get());
    BSTR handed = units.release();
    EXPECT_EQ(nullptr, units.get());
    units.reset(handed);
    EXPECT_EQ(OLESTR('a'), units.get()[0]);
    ASSERT_TRUE(SysReAllocString(units.addressof(), OLESTR("longer text")));
    EXPECT_EQ(11u, units.length());
#if defined(ZAN_PLATFORM_POSIX)
    EXPECT_EQ(1, live.Bstrs());  // the moved-over string was freed
#endif
  }
#if defined(ZAN_PLATFORM_POSIX)
  EXPECT_EQ(0, live.Bstrs());
#endif
}

TEST(Owners, VariantReleasesItsObjectOnClearMoveAndDestruction) {
  zantest::CountingObject object;
  auto holding = [&object] {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = &object;
    object.AddRef();
    return UniqueVariant(v);
  };
  {
    UniqueVariant a = holding();
    EXPECT_REFS(&object, 2);
    UniqueVariant b = std::move(a);
    EXPECT_EQ(VT_EMPTY, V_VT(a.get()));
    EXPECT_REFS(&object, 2);
    b.Clear();
    EXPECT_EQ(VT_EMPTY, V_VT(b.get()));
    EXPECT_REFS(&object, 1);
    b = holding();
    a = holding();
    EXPECT_REFS(&object, 3);
    a = std::move(b);  // a's own object goes, b's moves in
    EXPECT_REFS(&object, 2);
    VARIANT out = a.Detach();
    EXPECT_EQ(VT_EMPTY, V_VT(a.get()));
    EXPECT_REFS(&object, 2);
    VariantClear(&out);
    ASSERT_HR(S_OK, zan::MakeVariantBstr(OLESTR("s"), &a));
    UniqueVariant copy;
    ASSERT_HR(S_OK, copy.CopyFrom(a.get()));
    EXPECT_NE(V_BSTR(a.get()), V_BSTR(copy.get()));
    a = holding();
  }
  EXPECT_REFS(&object, 1);
}

TEST(Owners, SafeArrayIsDestroyed) {
#if defined(ZAN_PLATFORM_POSIX)
  LiveCount live;
#endif
  {
    zan::UniqueSafeArray array(SafeArrayCreateVector(VT_I4, 0, 4));
    ASSERT_TRUE(array);
    *array.put() = SafeArrayCreateVector(VT_VARIANT, 0, 2);
#if defined(ZAN_PLATFORM_POSIX)
    EXPECT_EQ(1, live.Arrays());
#endif
  }
#if defined(ZAN_PLATFORM_POSIX)
  EXPECT_EQ(0, live.Arrays());
#endif
}

TEST(Owners, FileIsClosedAndItsWritesReachTheDisk) {
  zantest::TempFolder folder;
  WString path = folder.WidePath("owned.txt");
  {
    zan::UniqueFile file;
    ASSERT_EQ(0, WFOpen(file.put(), path.c_str(), OLESTR("wb")));
    ASSERT_EQ(5u, std::fwrite("hello", 1, 5, file.get()));
  }  // closed here: what was buffered is written
  zan::UniqueFile file;
  ASSERT_EQ(0, WFOpen(file.put(), path.c_str(), OLESTR("rb")));
  char read[8] = {};
  EXPECT_EQ(5u, std::fread(read, 1, sizeof read, file.get()));
  EXPECT_STREQ("hello", read);
  EXPECT_EQ(0, std::fclose(file.release()));
}

TEST(CriticalSectionLock, LeavesOnEveryPathOut) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  auto leavesEarly = [&section](bool early) {
    zan::CriticalSectionLock hold(section);
    if (early) return 1;
    return 2;
  };
  EXPECT_EQ(1, leavesEarly(true));
  EXPECT_EQ(2, leavesEarly(false));
  BOOL free = FALSE;
  std::thread([&] {
    free = TryEnterCriticalSection(&section);
    if (free) LeaveCriticalSection(&section);
  }).join();
  EXPECT_TRUE(free);
  DeleteCriticalSection(&section);
}
