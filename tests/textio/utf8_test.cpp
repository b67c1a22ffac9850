#include <cstring>
#include <memory>

#include "support/hresult.h"
#include "textio/ansi_conversion.h"
#include "textio/utf8.h"

namespace {

WString Decode(const char* bytes) {
  int n = Utf8Decode(bytes, nullptr);
  if (n < 0) return OLESTR("<invalid>");
  WString out(static_cast<size_t>(n), 0);
  EXPECT_EQ(n, Utf8Decode(bytes, out.data()));
  out.pop_back();
  return out;
}

std::string Encode(const WString& text) {
  int n = Utf8Encode(text.c_str(), nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  EXPECT_EQ(n, Utf8Encode(text.c_str(), out.data()));
  out.pop_back();
  return out;
}

}  // namespace

TEST(Utf8Codec, EmptyAndAscii) {
  WCHAR unit = 1;
  EXPECT_EQ(1, Utf8Decode("", &unit));
  EXPECT_EQ(0, unit);
  EXPECT_EQ(WString(OLESTR("abc")), Decode("abc"));
  EXPECT_EQ(1, Utf8Encode(OLESTR(""), nullptr));
}

TEST(Utf8Codec, TwoAndThreeByteForms) {
  EXPECT_EQ(WString(OLESTR("\u00E9\u20AC")), Decode("\xC3\xA9\xE2\x82\xAC"));
  EXPECT_EQ("\xC3\xA9\xE2\x82\xAC", Encode(OLESTR("\u00E9\u20AC")));
  // Overlong and surrogate forms are taken as they come.
  EXPECT_EQ(WString(OLESTR("a")) + WCHAR(0) + OLESTR("b"), Decode("a\xC0\x80" "b"));
  EXPECT_EQ(WString(1, WCHAR(0xD800)), Decode("\xED\xA0\x80"));
}

TEST(Utf8Codec, BoundariesBetweenForms) {
  struct Case {
    WCHAR unit;
    const char* bytes;
  };
  const Case cases[] = {
      {0x007F, "\x7F"},         {0x0080, "\xC2\x80"},         {0x07FF, "\xDF\xBF"},
      {0x0800, "\xE0\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.unit));
    EXPECT_EQ(c.bytes, Encode(WString(1, c.unit)));
    EXPECT_EQ(WString(1, c.unit), Decode(c.bytes));
  }
}

TEST(Utf8Codec, SurrogatePairsEncodeAsTwoSequencesAndReadBack) {
  const WString pair = {WCHAR(0xD83D), WCHAR(0xDE00)};
  EXPECT_EQ("\xED\xA0\xBD\xED\xB8\x80", Encode(pair));
  EXPECT_EQ(pair, Decode("\xED\xA0\xBD\xED\xB8\x80"));
}

TEST(Utf8Codec, StandardFourByteFormDecodesToAPair) {
  EXPECT_EQ(WString({WCHAR(0xD83D), WCHAR(0xDE00)}), Decode("\xF0\x9F\x98\x80"));
  EXPECT_EQ(WString({WCHAR('x'), WCHAR(0xDBFF), WCHAR(0xDFFF)}), Decode("x\xF4\x8F\xBF\xBF"));
  EXPECT_EQ(WString({WCHAR(0xD800), WCHAR(0xDC00)}), Decode("\xF0\x90\x80\x80"));
}

TEST(Utf8Codec, InvalidInputFailsWhole) {
  for (const char* bad : {"\xE2\x82", "\x80", "a\x80", "\xC3", "\xF0\x9F\x98", "\xF5\x80\x80\x80", "\xFF",
                          "\xF0\x8F\xBF\xBF" /* below U+10000 */, "\xF4\x90\x80\x80" /* above U+10FFFF */,
                          "\xF8\x88\x80\x80\x80"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(-1, Utf8Decode(bad, nullptr));
    std::unique_ptr<WCHAR[]> out;
    EXPECT_EQ(-1, Utf8ToWideAlloc(bad, &out));
    EXPECT_EQ(nullptr, out);
  }
}

TEST(Utf8Codec, BoundedFormsWriteAllOrNothing) {
  WCHAR buf[4] = {OLESTR('q'), OLESTR('q'), OLESTR('q'), OLESTR('q')};
  EXPECT_EQ(4, Utf8ToWide("abc", nullptr, 0));
  EXPECT_EQ(0, Utf8ToWide("abc", buf, 3));
  EXPECT_EQ(OLESTR('q'), buf[0]);
  EXPECT_EQ(4, Utf8ToWide("abc", buf, 4));
  EXPECT_EQ(0, buf[3]);
  EXPECT_EQ(0, Utf8ToWide(nullptr, buf, 4));
  EXPECT_EQ(0, Utf8ToWide("\x80", buf, 4));
  char bytes[8];
  EXPECT_EQ(0, WideToUtf8(OLESTR("\u20AC"), bytes, 3));
  EXPECT_EQ(4, WideToUtf8(OLESTR("\u20AC"), bytes, 4));
}

TEST(Utf8Codec, AllocFormsSizeExactly) {
  std::unique_ptr<char[]> bytes;
  EXPECT_EQ(4, WideToUtf8Alloc(OLESTR("a\u00E9"), &bytes));
  EXPECT_STREQ("a\xC3\xA9", bytes.get());
  std::unique_ptr<WCHAR[]> units;
  EXPECT_EQ(3, Utf8ToWideAlloc("a\xC3\xA9", &units));
  EXPECT_EQ(WString(OLESTR("a\u00E9")), WString(units.get()));
}

// The counted decoder takes ASCII eight bytes at a time: a sequence that
// starts, or a refusal that falls, anywhere in or after such a run reads as
// the terminated decoder reads it.
TEST(Utf8Codec, CountedDecodeMatchesAroundAsciiRuns) {
  const char* const tails[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC3", "\x80", "\xE2\x82", "\xF5\x80\x80\x80", "\xC0\x80"};
  for (size_t ascii = 0; ascii <= 17; ++ascii) {
    for (const char* tail : tails) {
      for (const char* after : {"", "z", "0123456789"}) {
        const std::string bytes = std::string(ascii, 'a') + tail + after;
        SCOPED_TRACE(bytes);
        const WString expected = Decode(bytes.c_str());
        WString got(bytes.size(), OLESTR('?'));
        const int n = Utf8DecodeUnits(bytes.data(), bytes.size(), got.data());
        if (expected == OLESTR("<invalid>")) {
          EXPECT_EQ(-1, n);
        } else {
          ASSERT_EQ(static_cast<int>(expected.size()), n);
          EXPECT_TRUE(WString(got.data(), static_cast<size_t>(n)) == expected);
        }
      }
    }
  }
  EXPECT_EQ(0, Utf8DecodeUnits("", 0, nullptr));
}

// The counted encoder takes ASCII four units at a time and writes what the
// terminated one writes, surrogates each on its own.
TEST(Utf8Codec, CountedEncodeMatchesAroundAsciiRuns) {
  const WString tails[] = {OLESTR("\u00E9"), OLESTR("\u20AC"), WString({WCHAR(0xD83D), WCHAR(0xDE00)}), OLESTR("\u007F\u0080"),
                           OLESTR("\u07FF\u0800"), WString({WCHAR(0xDC00)})};
  for (size_t ascii = 0; ascii <= 9; ++ascii) {
    for (const WString& tail : tails) {
      for (const WCHAR* after : {OLESTR(""), OLESTR("z"), OLESTR("01234")}) {
        const WString text = WString(ascii, OLESTR('a')) + tail + after;
        SCOPED_TRACE(Encode(text));
        std::string got(text.size() * 3, '?');
        got.resize(Utf8EncodeUnits(text.data(), text.size(), got.data()));
        EXPECT_EQ(Encode(text), got);
      }
    }
  }
}

TEST(AnsiConversion, RoundTripThroughCodePage1252) {
  std::unique_ptr<WCHAR[]> wide;
  EXPECT_EQ(3, AnsiToWideAlloc("\x80x", &wide, 1252));
  EXPECT_EQ(WString(OLESTR("\u20ACx")), WString(wide.get()));
  std::unique_ptr<char[]> narrow;
  EXPECT_EQ(3, WideToAnsiAlloc(OLESTR("\u20AC\u4E2D"), &narrow, 1252));
  EXPECT_STREQ("\x80?", narrow.get());
}
