#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/hresult.h"

using zantest::Narrow;

namespace {

std::string Format(const WCHAR* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int need = VSWPrintfCount(fmt, copy);
  va_end(copy);
  std::u16string buf(static_cast<size_t>(need > 0 ? need : 0) + 1, u'\0');
  int n = VSWPrintf(buf.data(), buf.size(), fmt, args);
  va_end(args);
  if (n != need) return "length mismatch";
  return Narrow(buf.data());
}

int FormatInto(WCHAR* buf, size_t count, const WCHAR* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = VSWPrintf(buf, count, fmt, args);
  va_end(args);
  return n;
}

}  // namespace

TEST(WideText, LengthAndSearch) {
  EXPECT_EQ(0u, WcsLen(u""));
  EXPECT_EQ(3u, WcsLen(u"abc\0de"));
  const WCHAR* hay = u"a @@ b @@ c";
  EXPECT_EQ(hay + 1, WcsStr(hay, u" @@ "));
  EXPECT_EQ(hay, WcsStr(hay, u""));
  EXPECT_EQ(nullptr, WcsStr(hay, u"@@@"));
}

TEST(WideText, TokenizerSkipsDelimiterRuns) {
  WCHAR text[] = u"\r\na\r\n\r\nb\rc\n\n";
  WCHAR* state = nullptr;
  std::vector<std::string> tokens;
  for (WCHAR* t = WcsTok(text, u"\r\n", &state); t; t = WcsTok(nullptr, u"\r\n", &state))
    tokens.push_back(Narrow(t));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), tokens);
  WCHAR only[] = u"\r\n\n";
  state = nullptr;
  EXPECT_EQ(nullptr, WcsTok(only, u"\r\n", &state));
}

TEST(WideText, SpaceClass) {
  for (WCHAR c : {u' ', u'\t', u'\n', u'\v', u'\f', u'\r', u'\u3000', u'\u2003', u'\u00A0'}) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_TRUE(IsWSpace(c));
  }
  for (WCHAR c : {u'a', u'\0', u'_', u'\u200B', u'\uFEFF', u'\u00E9'}) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_FALSE(IsWSpace(c));
  }
}

TEST(WideFormat, WindowsConventions) {
  EXPECT_EQ("CLSID\\{AB}\\InprocServer32", Format(u"CLSID\\%ls\\%s", u"{AB}", u"InprocServer32"));
  EXPECT_EQ("n=42 -7 ff 0000002A", Format(u"n=%d %i %x %08X", 42, -7, 255u, 42u));
  EXPECT_EQ("narrow wide", Format(u"%hs %ws", "narrow", u"wide"));
  EXPECT_EQ("[  ab][ab  ][a]", Format(u"[%4s][%-4s][%.1s]", u"ab", u"ab", u"ab"));
  EXPECT_EQ("x%y", Format(u"%c%%%C", u'x', 'y'));
  EXPECT_EQ("12345678901 4294967295", Format(u"%I64d %u", 12345678901LL, 4294967295u));
  EXPECT_EQ("1.50", Format(u"%.2f", 1.5));
}

TEST(WideFormat, LongTextAndTruncation) {
  std::u16string big(5000, u'z');
  EXPECT_EQ(std::string(5000, 'z') + "!", Format(u"%s!", big.c_str()));
  WCHAR small[4] = {u'q', u'q', u'q', u'q'};
  EXPECT_EQ(-1, FormatInto(small, 4, u"%s", u"abcd"));
  EXPECT_EQ(0, small[0]);
  EXPECT_EQ(3, FormatInto(small, 4, u"%s", u"abc"));
  EXPECT_EQ("abc", Narrow(small));
}

TEST(WideFile, OpensUtf16NamesAndReadsUnits) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "zan_wstr_test";
  fs::create_directories(dir);
  const std::u16string name = u"caf\u00E9_\u65E5.bin";
  std::u16string full = dir.u16string() + u"/" + name;
  FILE* f = nullptr;
  ASSERT_EQ(0, WFOpen(&f, reinterpret_cast<const WCHAR*>(full.c_str()), u"wb"));
  const unsigned char bytes[] = {0xFF, 0xFE, 0x41, 0x00, 0x3A, 0x26, 0x7F};
  std::fwrite(bytes, 1, sizeof bytes, f);
  std::fclose(f);

  ASSERT_EQ(0, WFOpen(&f, reinterpret_cast<const WCHAR*>(full.c_str()), u"rb"));
  EXPECT_EQ(0xFEFF, FGetWUnit(f));
  EXPECT_EQ(0x0041, FGetWUnit(f));
  EXPECT_EQ(0x263A, FGetWUnit(f));
  EXPECT_EQ(kWEof, FGetWUnit(f));  // a lone trailing byte is no unit
  std::fclose(f);

  std::u16string missing = dir.u16string() + u"/missing.bin";
  EXPECT_NE(0, WFOpen(&f, reinterpret_cast<const WCHAR*>(missing.c_str()), u"rb"));
  EXPECT_EQ(nullptr, f);
  fs::remove_all(dir);
}
