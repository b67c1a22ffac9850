#include <string>

#include "support/hresult.h"
#include "textio/acc_str.h"

TEST(AccStr, CapacityStartsAt1024ThenDoubles) {
  CZanAccStrA one;
  EXPECT_EQ(0, one.capacity());
  EXPECT_EQ(nullptr, one.buffer());
  EXPECT_EQ(0, one.Append("x", 1));
  EXPECT_EQ(1024, one.capacity());

  CZanAccStrA big;
  std::string text(1025, 'y');
  EXPECT_EQ(0, big.Append(text.c_str(), -1));
  EXPECT_EQ(2048, big.capacity());
  EXPECT_EQ(1025, big.length());
  EXPECT_EQ(0, big.buffer()[1025]);

  CZanAccStrA edge;
  std::string fits(1023, 'z');
  EXPECT_EQ(0, edge.Append(fits.c_str(), 1023));
  EXPECT_EQ(1024, edge.capacity());  // the terminator still fits
  EXPECT_EQ(0, edge.AppendChar('z'));
  EXPECT_EQ(2048, edge.capacity());
}

TEST(AccStr, ResetKeepsBufferForTheNextText) {
  CZanAccStrW s;
  ASSERT_EQ(0, s.Append(OLESTR("first line"), -1));
  const WCHAR* buffer = s.buffer();
  s.Reset();
  EXPECT_EQ(0, s.length());
  EXPECT_EQ(0, s.buffer()[0]);
  ASSERT_EQ(0, s.Append(OLESTR("second"), -1));
  EXPECT_EQ(buffer, s.buffer());
  EXPECT_EQ(WString(OLESTR("second")), WString(s.buffer()));
}

TEST(AccStr, EmbeddedNulsAndNullSource) {
  CZanAccStrW s;
  EXPECT_EQ(0, s.Append(nullptr, 5));
  EXPECT_EQ(0, s.length());
  EXPECT_EQ(0, s.Append(OLESTR("a\0b"), 3));
  EXPECT_EQ(3, s.length());
  EXPECT_EQ(OLESTR('b'), s.buffer()[2]);
  EXPECT_EQ(2, s.StrLen(OLESTR("ab")));
  EXPECT_EQ(0, s.StrLen(nullptr));
}

// The source may be the accumulator's own text, also when the append makes
// the buffer grow and the old one goes.
TEST(AccStr, AppendsItsOwnTextAcrossGrowth) {
  CZanAccStrA s;
  std::string text(700, 'a');
  text[699] = 'z';
  ASSERT_EQ(0, s.Append(text.c_str(), -1));
  ASSERT_EQ(1024, s.capacity());
  ASSERT_EQ(0, s.Append(s.buffer(), s.length()));  // 1400 characters: grows
  EXPECT_EQ(2048, s.capacity());
  EXPECT_EQ(text + text, std::string(s.buffer(), static_cast<size_t>(s.length())));
  ASSERT_EQ(0, s.Append(s.buffer() + 699, 1));  // a part of itself, no growth
  EXPECT_EQ('z', s.buffer()[1400]);
}
