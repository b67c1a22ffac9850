#include <cstring>

#include "support/hresult.h"

using zantest::Bstr;

TEST(Bstr, AllocStringCopiesUpToFirstNul) {
  const WCHAR text[] = OLESTR("ab\0cd");
  Bstr s(text);
  EXPECT_EQ(2u, SysStringLen(s.get()));
  EXPECT_EQ(4u, SysStringByteLen(s.get()));
  EXPECT_EQ(0, s.get()[2]);
}

TEST(Bstr, AllocStringLenKeepsEmbeddedNuls) {
  const WCHAR text[] = OLESTR("ab\0cd");
  Bstr s(text, 5);
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
  Bstr s(nullptr, 3);
  ASSERT_NE(nullptr, s.get());
  EXPECT_EQ(3u, SysStringLen(s.get()));
  EXPECT_EQ(0, s.get()[3]);
}

TEST(Bstr, ByteLenOddCountsKeepBytesAndTruncateUnits) {
  for (UINT len : {0u, 1u, 3u, 5u, 6u}) {
    SCOPED_TRACE(len);
    BSTR s = SysAllocStringByteLen("abcdef", len);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(len, SysStringByteLen(s));
    EXPECT_EQ(len / 2, SysStringLen(s));
    EXPECT_EQ(0, std::memcmp(s, "abcdef", len));
    EXPECT_EQ(0, reinterpret_cast<const char*>(s)[len]);
    SysFreeString(s);
  }
}

TEST(Bstr, ByteLenWithNullSourceGivesStorage) {
  BSTR s = SysAllocStringByteLen(nullptr, 7);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(7u, SysStringByteLen(s));
  EXPECT_EQ(3u, SysStringLen(s));
  SysFreeString(s);
}

TEST(Bstr, ByteLenCopyKeepsEmbeddedNuls) {
  const char bytes[] = {'a', 0, 0, 0, 'b', 0};
  BSTR s = SysAllocStringByteLen(bytes, sizeof bytes);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(3u, SysStringLen(s));
  EXPECT_EQ(OLESTR('b'), s[2]);
  SysFreeString(s);
}

TEST(Bstr, ReAllocFromItselfAndGrowing) {
  BSTR s = SysAllocString(OLESTR("hello world"));
  ASSERT_TRUE(SysReAllocStringLen(&s, s + 6, 5));
  EXPECT_EQ(OLESTR("world"), WString(s, SysStringLen(s)));
  ASSERT_TRUE(SysReAllocStringLen(&s, OLESTR("abcdefghij"), 10));
  EXPECT_EQ(10u, SysStringLen(s));
  EXPECT_EQ(0, s[10]);
  SysFreeString(s);
}

TEST(Bstr, HugeLengthFailsWithoutCrash) {
  EXPECT_EQ(nullptr, SysAllocStringLen(nullptr, 0x7FFFFFFFu));
  // Wine 8 wraps the size around, hands out a tiny block and then corrupts
  // its heap writing the terminator; Windows refuses the length.
  ZAN_UNLESS_WINE_DEVIATES("SysAllocStringByteLen(0xFFFFFFF0) succeeds") {
    EXPECT_EQ(nullptr, SysAllocStringByteLen(nullptr, 0xFFFFFFF0u));
  }
}

TEST(Bstr, CatJoinsAndTreatsNullAsEmpty) {
  Bstr a(OLESTR("ab")), b(OLESTR("cd")), out;
  EXPECT_HR(S_OK, VarBstrCat(a.get(), b.get(), out.out()));
  EXPECT_EQ(OLESTR("abcd"), out.text());
  EXPECT_HR(S_OK, VarBstrCat(nullptr, b.get(), out.out()));
  EXPECT_EQ(OLESTR("cd"), out.text());
  EXPECT_HR(S_OK, VarBstrCat(nullptr, nullptr, out.out()));
  ASSERT_NE(nullptr, out.get());
  EXPECT_EQ(0u, SysStringLen(out.get()));
  EXPECT_HR(E_INVALIDARG, VarBstrCat(a.get(), b.get(), nullptr));
}

TEST(Bstr, CatKeepsEmbeddedNuls) {
  Bstr a(OLESTR("a\0b"), 3), b(OLESTR("\0c"), 2), out;
  EXPECT_HR(S_OK, VarBstrCat(a.get(), b.get(), out.out()));
  EXPECT_EQ(WString(OLESTR("a\0b\0c"), 5), out.text());
}
