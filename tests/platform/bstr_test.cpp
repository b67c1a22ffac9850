#include <cstring>

#include "support/hresult.h"
#include "support/wine.h"

using zan::UniqueBstr;

TEST(Bstr, AllocStringCopiesUpToFirstNul) {
  const WCHAR text[] = OLESTR("ab\0cd");
  UniqueBstr s(SysAllocString(text));
  EXPECT_EQ(2u, SysStringLen(s.get()));
  EXPECT_EQ(4u, SysStringByteLen(s.get()));
  EXPECT_EQ(0, s.get()[2]);
}

TEST(Bstr, AllocStringLenKeepsEmbeddedNuls) {
  const WCHAR text[] = OLESTR("ab\0cd");
  UniqueBstr s(SysAllocStringLen(text, 5));
  EXPECT_EQ(5u, SysStringLen(s.get()));
  EXPECT_EQ(OLESTR('d'), s.get()[4]);
  EXPECT_EQ(0, s.get()[5]);
}

TEST(Bstr, NullIsEmpty) {
  EXPECT_EQ(nullptr, SysAllocString(nullptr));
  EXPECT_EQ(0u, SysStringLen(nullptr));
  EXPECT_EQ(0u, SysStringByteLen(nullptr));
  SysFreeString(nullptr);
}

TEST(Bstr, AllocStringLenWithoutSourceIsZeroLengthAware) {
  UniqueBstr s(SysAllocStringLen(nullptr, 3));
  ASSERT_NE(nullptr, s.get());
  EXPECT_EQ(3u, SysStringLen(s.get()));
  EXPECT_EQ(0, s.get()[3]);
}

TEST(Bstr, ByteLenOddCountsKeepBytesAndTruncateUnits) {
  for (UINT len : {0u, 1u, 3u, 5u, 6u}) {
    SCOPED_TRACE(len);
    UniqueBstr s(SysAllocStringByteLen("abcdef", len));
    ASSERT_NE(nullptr, s.get());
    EXPECT_EQ(len, SysStringByteLen(s.get()));
    EXPECT_EQ(len / 2, SysStringLen(s.get()));
    EXPECT_EQ(0, std::memcmp(s.get(), "abcdef", len));
    EXPECT_EQ(0, reinterpret_cast<const char*>(s.get())[len]);
  }
}

TEST(Bstr, ByteLenWithNullSourceGivesStorage) {
  UniqueBstr s(SysAllocStringByteLen(nullptr, 7));
  ASSERT_NE(nullptr, s.get());
  EXPECT_EQ(7u, SysStringByteLen(s.get()));
  EXPECT_EQ(3u, SysStringLen(s.get()));
}

TEST(Bstr, ByteLenCopyKeepsEmbeddedNuls) {
  const char bytes[] = {'a', 0, 0, 0, 'b', 0};
  UniqueBstr s(SysAllocStringByteLen(bytes, sizeof bytes));
  ASSERT_NE(nullptr, s.get());
  EXPECT_EQ(3u, SysStringLen(s.get()));
  EXPECT_EQ(OLESTR('b'), s.get()[2]);
}

TEST(Bstr, ReAllocFromItselfAndGrowing) {
  UniqueBstr s(SysAllocString(OLESTR("hello world")));
  ASSERT_TRUE(SysReAllocStringLen(s.addressof(), s.get() + 6, 5));
  EXPECT_EQ(OLESTR("world"), zantest::Text(s.get()));
  ASSERT_TRUE(SysReAllocStringLen(s.addressof(), OLESTR("abcdefghij"), 10));
  EXPECT_EQ(10u, SysStringLen(s.get()));
  EXPECT_EQ(0, s.get()[10]);
}

TEST(Bstr, HugeLengthFailsWithoutCrash) {
  EXPECT_EQ(nullptr, SysAllocStringLen(nullptr, 0x7FFFFFFFu));
  // Wine 8 wraps the size around, hands out a tiny block and then corrupts
  // its heap writing the terminator; Windows refuses the length.
  ZAN_WINE_CRASHES("SysAllocStringByteLen(0xFFFFFFF0) corrupts the heap") {
    EXPECT_EQ(nullptr, SysAllocStringByteLen(nullptr, 0xFFFFFFF0u));
  }
}

TEST(Bstr, CatJoinsAndTreatsNullAsEmpty) {
  UniqueBstr a(SysAllocString(OLESTR("ab"))), b(SysAllocString(OLESTR("cd"))), out;
  EXPECT_HR(S_OK, VarBstrCat(a.get(), b.get(), out.put()));
  EXPECT_EQ(OLESTR("abcd"), zantest::Text(out.get()));
  EXPECT_HR(S_OK, VarBstrCat(nullptr, b.get(), out.put()));
  EXPECT_EQ(OLESTR("cd"), zantest::Text(out.get()));
  EXPECT_HR(S_OK, VarBstrCat(nullptr, nullptr, out.put()));
  ASSERT_NE(nullptr, out.get());
  EXPECT_EQ(0u, SysStringLen(out.get()));
  EXPECT_HR(E_INVALIDARG, VarBstrCat(a.get(), b.get(), nullptr));
}

TEST(Bstr, CatKeepsEmbeddedNuls) {
  UniqueBstr a(SysAllocStringLen(OLESTR("a\0b"), 3)), b(SysAllocStringLen(OLESTR("\0c"), 2)), out;
  EXPECT_HR(S_OK, VarBstrCat(a.get(), b.get(), out.put()));
  EXPECT_EQ(WString(OLESTR("a\0b\0c"), 5), zantest::Text(out.get()));
}
