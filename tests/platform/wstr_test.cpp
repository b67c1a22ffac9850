#include <algorithm>
#include <cerrno>
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
  WString buf(static_cast<size_t>(need > 0 ? need : 0) + 1, OLESTR('\0'));
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
  EXPECT_EQ(0u, WcsLen(OLESTR("")));
  EXPECT_EQ(3u, WcsLen(OLESTR("abc\0de")));
  const WCHAR* hay = OLESTR("a @@ b @@ c");
  EXPECT_EQ(hay + 1, WcsStr(hay, OLESTR(" @@ ")));
  EXPECT_EQ(hay, WcsStr(hay, OLESTR("")));
  EXPECT_EQ(nullptr, WcsStr(hay, OLESTR("@@@")));
}

// The bounded length finds the first NUL in every lane of the units it
// takes four at a time, from any start, and stops at its bound.
TEST(WideText, BoundedLengthFindsTheFirstNulAnywhere) {
  WCHAR text[16];
  for (size_t start = 0; start < 4; ++start) {
    for (size_t max = 0; max + start <= 12; ++max) {
      for (size_t nul = 0; nul <= max; ++nul) {
        std::fill(text, text + 16, OLESTR('x'));
        if (nul < max) text[start + nul] = 0;
        text[start + max + 1] = 0;  // beyond the bound, within the same four units: not the end
        EXPECT_EQ(nul, WcsNLen(text + start, max)) << start << " " << max << " " << nul;
      }
    }
  }
  EXPECT_EQ(0u, WcsNLen(nullptr, 0));
}

TEST(WideText, TokenizerSkipsDelimiterRuns) {
  WCHAR text[] = OLESTR("\r\na\r\n\r\nb\rc\n\n");
  WCHAR* state = nullptr;
  std::vector<std::string> tokens;
  for (WCHAR* t = WcsTok(text, OLESTR("\r\n"), &state); t; t = WcsTok(nullptr, OLESTR("\r\n"), &state))
    tokens.push_back(Narrow(t));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), tokens);
  WCHAR only[] = OLESTR("\r\n\n");
  state = nullptr;
  EXPECT_EQ(nullptr, WcsTok(only, OLESTR("\r\n"), &state));
}

TEST(WideText, SpaceClass) {
  for (WCHAR c : {OLESTR(' '), OLESTR('\t'), OLESTR('\n'), OLESTR('\v'), OLESTR('\f'), OLESTR('\r'), OLESTR('\u3000'), OLESTR('\u2003'), OLESTR('\u00A0')}) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_TRUE(IsWSpace(c));
  }
  for (WCHAR c : {OLESTR('a'), OLESTR('\0'), OLESTR('_'), OLESTR('\u200B'), OLESTR('\uFEFF'), OLESTR('\u00E9')}) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_FALSE(IsWSpace(c));
  }
}

TEST(WideFormat, WindowsConventions) {
  EXPECT_EQ("CLSID\\{AB}\\InprocServer32", Format(OLESTR("CLSID\\%ls\\%s"), OLESTR("{AB}"), OLESTR("InprocServer32")));
  EXPECT_EQ("n=42 -7 ff 0000002A", Format(OLESTR("n=%d %i %x %08X"), 42, -7, 255u, 42u));
  EXPECT_EQ("narrow wide", Format(OLESTR("%hs %ws"), "narrow", OLESTR("wide")));
  EXPECT_EQ("[  ab][ab  ][a]", Format(OLESTR("[%4s][%-4s][%.1s]"), OLESTR("ab"), OLESTR("ab"), OLESTR("ab")));
  EXPECT_EQ("x%y", Format(OLESTR("%c%%%C"), OLESTR('x'), 'y'));
  EXPECT_EQ("12345678901 4294967295", Format(OLESTR("%I64d %u"), 12345678901LL, 4294967295u));
  EXPECT_EQ("1.50", Format(OLESTR("%.2f"), 1.5));
}

TEST(WideFormat, LongTextAndTruncation) {
  WString big(5000, OLESTR('z'));
  EXPECT_EQ(std::string(5000, 'z') + "!", Format(OLESTR("%s!"), big.c_str()));
  WCHAR small[4] = {OLESTR('q'), OLESTR('q'), OLESTR('q'), OLESTR('q')};
  EXPECT_EQ(-1, FormatInto(small, 4, OLESTR("%s"), OLESTR("abcd")));
  EXPECT_EQ(0, small[0]);
  EXPECT_EQ(3, FormatInto(small, 4, OLESTR("%s"), OLESTR("abc")));
  EXPECT_EQ("abc", Narrow(small));
}

TEST(WideFile, OpensUtf16NamesAndReadsUnits) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "zan_wstr_test";
  fs::create_directories(dir);
  const std::u16string base = dir.u16string();
  const WString dirText(base.begin(), base.end());
  const WString name = OLESTR("caf\u00E9_\u65E5.bin");
  WString full = dirText + OLESTR("/") + name;
  FILE* f = nullptr;
  ASSERT_EQ(0, WFOpen(&f, full.c_str(), OLESTR("wb")));
  const unsigned char bytes[] = {0xFF, 0xFE, 0x41, 0x00, 0x3A, 0x26, 0x7F};
  std::fwrite(bytes, 1, sizeof bytes, f);
  std::fclose(f);

  ASSERT_EQ(0, WFOpen(&f, full.c_str(), OLESTR("rb")));
  EXPECT_EQ(0xFEFF, FGetWUnit(f));
  EXPECT_EQ(0x0041, FGetWUnit(f));
  EXPECT_EQ(0x263A, FGetWUnit(f));
  EXPECT_EQ(kWEof, FGetWUnit(f));  // a lone trailing byte is no unit
  std::fclose(f);

  WString missing = dirText + OLESTR("/missing.bin");
  EXPECT_NE(0, WFOpen(&f, missing.c_str(), OLESTR("rb")));
  EXPECT_EQ(nullptr, f);
  fs::remove_all(dir);
}

// One table turns a C library failure into the reason a host reads through
// GetLastError, on both targets.
TEST(ErrnoTable, GivesTheWin32ReasonOfEveryFailureThePlatformRaises) {
  const struct {
    int error;
    DWORD expected;
  } cases[] = {
      {0, ERROR_SUCCESS},
      {ENOENT, ERROR_FILE_NOT_FOUND},
      {EACCES, ERROR_ACCESS_DENIED},
      {ENOSPC, ERROR_DISK_FULL},
      {EIO, ERROR_WRITE_FAULT},
      {EXDEV, ERROR_NOT_SAME_DEVICE},  // a rename that cannot cross devices
      {EEXIST, ERROR_FILE_EXISTS},
      {EILSEQ, ERROR_NO_UNICODE_TRANSLATION},
      {-1, ERROR_INVALID_PARAMETER},  // none of the table's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(c.expected, Win32ErrorFromErrno(c.error));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(FailWithErrno(c.error));
    EXPECT_EQ(c.expected, GetLastError());
  }
}
