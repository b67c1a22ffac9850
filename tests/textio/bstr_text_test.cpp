#include <cstring>

#include "support/hresult.h"
#include "textio/bstr_text.h"

namespace {
WString TextOf(const CBstrText& t) { return t.get() ? WString(t.get(), SysStringLen(t.get())) : WString(); }
}  // namespace

// 65,536 hits of a 65,536-unit text make 2^32 units: a size a 32-bit count
// cannot hold, refused before anything is allocated or written.
TEST(BstrText, ReplaceRefusesAResultBeyondAnyString) {
  CBstrText t(WString(65536, OLESTR('a')).c_str());
  const WString huge(65536, OLESTR('b'));
  try {
    t.Replace(OLESTR("a"), huge.c_str());
    ADD_FAILURE() << "no failure raised";
  } catch (const zan::HResultError& e) {
    EXPECT_HR(E_OUTOFMEMORY, e.hr());
  }
  EXPECT_EQ(65536, t.Length());  // the text stays as it was
}

TEST(BstrText, FindSearchesUpToFirstNul) {
  CBstrText t(OLESTR("ab @@ cd @@ e"));
  EXPECT_EQ(2, t.Find(OLESTR(" @@ ")));
  EXPECT_EQ(8, t.Find(OLESTR(" @@ "), 3));
  EXPECT_EQ(-1, t.Find(OLESTR(" @@ "), t.Length()));
  EXPECT_EQ(-1, t.Find(nullptr));
  EXPECT_EQ(-1, CBstrText().Find(OLESTR("a")));
  EXPECT_EQ(-1, CBstrText(OLESTR("")).Find(OLESTR("")));
  CBstrText hidden(OLESTR("ab\0cd"), 5);
  EXPECT_EQ(-1, hidden.Find(OLESTR("cd")));
}

TEST(BstrText, CutsWorkOnRecordedLength) {
  CBstrText t(OLESTR("a\0bcd"), 5);
  EXPECT_EQ(WString(OLESTR("\0bc"), 3), TextOf(t.Mid(1, 3)));
  EXPECT_EQ(WString(OLESTR("cd")), TextOf(t.Mid(3)));
  EXPECT_EQ(WString(), TextOf(t.Mid(9, 2)));
  EXPECT_EQ(WString(OLESTR("a\0b"), 3), TextOf(t.Mid(-4, 3)));
  EXPECT_EQ(WString(), TextOf(t.Mid(2, -1)));
  EXPECT_EQ(WString(OLESTR("a\0"), 2), TextOf(t.Left(2)));
  EXPECT_EQ(TextOf(t), TextOf(t.Left(99)));
  CBstrText abc(OLESTR("abc"));
  EXPECT_EQ(WString(OLESTR("abc")), TextOf(abc.Right(5)));
  EXPECT_EQ(WString(OLESTR("bc")), TextOf(abc.Right(2)));
}

TEST(BstrText, Trims) {
  CBstrText t(OLESTR("ab \t"));
  t.TrimRight();
  EXPECT_EQ(WString(OLESTR("ab")), TextOf(t));
  CBstrText blanks(OLESTR("  "));
  blanks.TrimLeft();
  EXPECT_EQ(0, blanks.Length());
  CBstrText lead(OLESTR(" \r\nx y "));
  lead.TrimLeft();
  EXPECT_EQ(WString(OLESTR("x y ")), TextOf(lead));
  CBstrText untouched(OLESTR("x\0 "), 3);
  untouched.TrimLeft();
  EXPECT_EQ(3, untouched.Length());
  CBstrText none;
  none.TrimRight();
  none.TrimLeft();
  EXPECT_EQ(nullptr, none.get());
}

TEST(BstrText, FormatGivesCompleteText) {
  CBstrText t;
  WString longText(3000, OLESTR('w'));
  t.Format(OLESTR("%s=%d;"), longText.c_str(), 7);
  EXPECT_EQ(longText + OLESTR("=7;"), TextOf(t));
}

TEST(BstrText, ReplaceLeftToRightWithoutOverlap) {
  CBstrText t(OLESTR("aaaa"));
  EXPECT_EQ(2, t.Replace(OLESTR("aa"), OLESTR("b")));
  EXPECT_EQ(WString(OLESTR("bb")), TextOf(t));
  CBstrText grow(OLESTR("x.y.z"));
  EXPECT_EQ(2, grow.Replace(OLESTR("."), OLESTR("--")));
  EXPECT_EQ(WString(OLESTR("x--y--z")), TextOf(grow));
  EXPECT_EQ(2, grow.Replace(OLESTR("--"), nullptr));
  EXPECT_EQ(WString(OLESTR("xyz")), TextOf(grow));
  EXPECT_EQ(0, grow.Replace(OLESTR("q"), OLESTR("r")));
  EXPECT_EQ(0, grow.Replace(OLESTR(""), OLESTR("r")));
  CBstrText none;
  EXPECT_EQ(0, none.Replace(OLESTR("a"), OLESTR("b")));
}

TEST(BstrText, CopiesAreByteExact) {
  BSTR odd = SysAllocStringByteLen("a\0b", 3);
  CBstrText source = CBstrText::Attach(odd);
  CBstrText copy = source;
  EXPECT_NE(source.get(), copy.get());
  EXPECT_EQ(3u, SysStringByteLen(copy.get()));
  CBstrText assigned;
  assigned = source;
  EXPECT_EQ(0, std::memcmp(assigned.get(), "a\0b", 3));
}
