#include <string>

#include "support/hresult.h"
#include "support/wine.h"

namespace {

WString ToWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
  int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  WString out(static_cast<size_t>(n > 0 ? n : 0), OLESTR('\0'));
  if (n > 0) MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

std::string ToBytes(UINT cp, const WString& text, BOOL* usedDefault = nullptr, DWORD flags = 0) {
  int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                              usedDefault);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        usedDefault);
  return out;
}

}  // namespace

TEST(CodePage, AnsiIs1252ByDefault) {
  if (GetACP() != 1252) GTEST_SKIP() << "this machine's ANSI code page is " << GetACP();
  EXPECT_EQ(OLESTR("\u20AC"), ToWide(CP_ACP, "\x80"));
  EXPECT_EQ("\x80", ToBytes(CP_ACP, OLESTR("\u20AC")));
}

TEST(CodePage, Windows1252RoundTrip) {
  EXPECT_EQ(OLESTR("\u20AC\u201A\u0192\u00E9\u00FF"), ToWide(1252, "\x80\x82\x83\xE9\xFF"));
  EXPECT_EQ("\x80\x82\x83\xE9\xFF", ToBytes(1252, OLESTR("\u20AC\u201A\u0192\u00E9\u00FF")));
  // Bytes without a character of their own map to the same code point.
  EXPECT_EQ(OLESTR("\u0081\u008D\u008F\u0090\u009D"), ToWide(1252, "\x81\x8D\x8F\x90\x9D"));
}

TEST(CodePage, Unmappable1252UsesDefaultCharacter) {
  BOOL used = FALSE;
  EXPECT_EQ("a?b", ToBytes(1252, OLESTR("a\u4E2Db"), &used));
  EXPECT_TRUE(used);
  used = TRUE;
  EXPECT_EQ("ab", ToBytes(1252, OLESTR("ab"), &used));
  EXPECT_FALSE(used);
  char out[4] = {};
  BOOL flag = FALSE;
  const WCHAR text[] = OLESTR("\u4E2D");
  EXPECT_EQ(1, WideCharToMultiByte(1252, 0, text, 1, out, 4, "#", &flag));
  EXPECT_EQ('#', out[0]);
  EXPECT_TRUE(flag);
}

TEST(CodePage, LoneSurrogateTo1252IsDefault) {
  EXPECT_EQ("?", ToBytes(1252, OLESTR("\xD800")));
}

TEST(CodePage, Utf8RoundTripIncludingSupplementary) {
  const std::string bytes = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const WString text = OLESTR("a\u00E9\u20AC\U0001F600");
  EXPECT_EQ(text, ToWide(CP_UTF8, bytes));
  EXPECT_EQ(bytes, ToBytes(CP_UTF8, text));
}

TEST(CodePage, Utf8InvalidInput) {
  EXPECT_EQ(OLESTR("a\uFFFDb"), ToWide(CP_UTF8, "a\x80" "b"));
  EXPECT_EQ(OLESTR("\uFFFD"), ToWide(CP_UTF8, "\xFF"));
  SetLastError(0);
  const char bad[] = "a\x80";
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, 2, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  EXPECT_EQ("\xEF\xBF\xBD", ToBytes(CP_UTF8, OLESTR("\xD800")));
}

TEST(CodePage, LengthContract) {
  WCHAR buf[8];
  // -1 counts the terminating NUL.
  EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0));
  EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buf, 8));
  EXPECT_EQ(0, buf[3]);
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buf, 2));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buf, 8));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  char narrow[8];
  EXPECT_EQ(3, WideCharToMultiByte(CP_UTF8, 0, OLESTR("ab"), -1, narrow, 8, nullptr, nullptr));
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, OLESTR("ab"), -1, narrow, 2, nullptr, nullptr));
  // Windows documents that UTF-8 takes no default character; Wine 8 ignores
  // the flag pointer and converts.
  ZAN_TODO_WINE("CP_UTF8 accepts lpUsedDefaultChar") {
    BOOL used;
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, OLESTR("ab"), -1, narrow, 8, nullptr, &used));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  }
}

TEST(CodePage, LeadBytes) {
  EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x81));
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x81));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0x41));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA1));  // half-width katakana is one byte
  EXPECT_EQ(OLESTR("\u3042"), ToWide(932, "\x82\xA0"));
}

#if defined(ZAN_PLATFORM_POSIX)
TEST(CodePage, HostCanSetTheAnsiCodePage) {
  ASSERT_TRUE(ZanSetAnsiCodePage(1251));
  EXPECT_EQ(1251u, GetACP());
  EXPECT_EQ(OLESTR("\u0416"), ToWide(CP_ACP, "\xC6"));
  EXPECT_FALSE(ZanSetAnsiCodePage(12345));
  EXPECT_EQ(1251u, GetACP());
  ASSERT_TRUE(ZanSetAnsiCodePage(1252));
}
#endif

TEST(CodePage, BestFitTo1252UnlessRefused) {
  BOOL used = FALSE;
  EXPECT_EQ("A", ToBytes(1252, OLESTR("\u0100"), &used));
  EXPECT_FALSE(used);
  EXPECT_EQ("?", ToBytes(1252, OLESTR("\u0100"), &used, WC_NO_BEST_FIT_CHARS));
  EXPECT_TRUE(used);
  EXPECT_EQ("Ac", ToBytes(1252, OLESTR("\uFF21\u0107")));
  // Only single-letter readings fit; the rest take the default character.
  EXPECT_EQ("L??i?\xBD?", ToBytes(1252, OLESTR("\u0141\u2260\uFB01\u0131\u2460\u00BD\u2153")));
}

TEST(CodePage, Utf8MalformedSequences) {
  struct Case {
    const char* bytes;
    const WCHAR* text;
  };
  const Case cases[] = {
      {"\xE2\x82", OLESTR("\uFFFD")},                 // cut three-byte sequence
      {"\xE2\x82x", OLESTR("\uFFFDx")},
      {"\xC0\xAF", OLESTR("\uFFFD\uFFFD")},           // overlong
      // A lead byte takes one out-of-range continuation byte with it.
      {"\xED\xA0\x80", OLESTR("\uFFFD\uFFFD")},      // encoded surrogate
      {"\xF4\x90\x80\x80", OLESTR("\uFFFD\uFFFD\uFFFD")},
      {"\xE0\x80\x80", OLESTR("\uFFFD\uFFFD")},      // overlong
      {"\xF0\x80\x80\x80", OLESTR("\uFFFD\uFFFD\uFFFD")},
      {"\xE0\xA0x", OLESTR("\uFFFDx")},
      {"\xF0\x90\x80", OLESTR("\uFFFD")},
      {"\xF5\x80", OLESTR("\uFFFD\uFFFD")},
      {"\xF0\x9F\x98", OLESTR("\uFFFD")},
      {"\x80\x80", OLESTR("\uFFFD\uFFFD")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(WString(c.text), ToWide(CP_UTF8, c.bytes));
  }
}
