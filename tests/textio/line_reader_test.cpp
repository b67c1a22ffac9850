#include <filesystem>
#include <vector>

#include "base/unique_bstr.h"
#include "support/hresult.h"
#include "support/temp_folder.h"
#include "textio/encoded_text_file.h"

namespace {

struct Line {
  bool ok;
  WString text;  // up to the first NUL
  UINT recorded;
};

class LineReaderTest : public testing::Test {
 protected:
  // Reads until the stream reports its end, as the loaders do, into one
  // reused string. A failed read that recorded nothing at the end is the
  // end of the file, not a line.
  std::vector<Line> ReadAll(const std::string& bytes, int* encoding = nullptr) {
    folder_.Write("in.txt", bytes);
    CEncodedTextFile file;
    EXPECT_TRUE(file.Open(folder_.WidePath("in.txt").c_str(), OM_READ, FE_UTF8));
    if (encoding) *encoding = file.encoding();
    std::vector<Line> lines;
    WString text;
    while (!file.AtEnd()) {
      text.clear();
      UINT recorded = 0xdeadbeef;
      bool ok = file.ReadLineText(&text, true, &recorded);
      if (!ok && recorded == 0 && file.AtEnd()) break;
      lines.push_back({ok, text, recorded});
    }
    return lines;
  }

  std::string WriteAll(int encoding, const std::vector<WString>& lines, bool newlineOnLast = false) {
    CEncodedTextFile file;
    EXPECT_TRUE(file.Open(folder_.WidePath("out.txt").c_str(), OM_WRITE, encoding));
    for (size_t i = 0; i < lines.size(); ++i) {
      zan::UniqueBstr text = zan::UniqueBstr::FromUnits(lines[i].data(), static_cast<UINT>(lines[i].size()));
      EXPECT_TRUE(file.WriteLine(text.get(), i + 1 < lines.size() || newlineOnLast));
    }
    file.Close();
    return folder_.Read("out.txt");
  }

  zantest::TempFolder folder_;
};

}  // namespace

TEST_F(LineReaderTest, Utf8MarkAndRecordedLengths) {
  int encoding = -1;
  auto lines = ReadAll("\xEF\xBB\xBF" "a\nb", &encoding);
  EXPECT_EQ(FE_UTF8, encoding);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(WString(OLESTR("a")), lines[0].text);
  EXPECT_EQ(2u, lines[0].recorded);
  EXPECT_EQ(WString(OLESTR("b")), lines[1].text);
  EXPECT_EQ(2u, lines[1].recorded);
}

// The recorded length counts the line's bytes, while the text holds only
// its characters: nothing of the longer record follows them.
TEST_F(LineReaderTest, Utf8RecordedLengthCountsBytesTextHoldsTheCharacters) {
  auto lines = ReadAll("\xEF\xBB\xBF\xE2\x82\xAC\n");
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(WString(OLESTR("\u20AC")), lines[0].text);
  EXPECT_EQ(4u, lines[0].recorded);
  folder_.Write("tail.txt", "\xEF\xBB\xBF\xE2\x82\xAC\n");
  CEncodedTextFile file;
  ASSERT_TRUE(file.Open(folder_.WidePath("tail.txt").c_str(), OM_READ, FE_UTF8));
  WString text = OLESTR(">");
  UINT recorded = 0xdeadbeef;
  ASSERT_TRUE(file.ReadLineText(&text, true, &recorded));
  EXPECT_EQ(4u, recorded);
  EXPECT_EQ(WString(OLESTR(">\u20AC")), text) << text.size() << " units";
}

TEST_F(LineReaderTest, Utf8SupplementaryCharacterKeepsItsLine) {
  auto lines = ReadAll("\xEF\xBB\xBF" "x\xF0\x9F\x98\x80y\nnext");
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(lines[0].ok);
  EXPECT_EQ(WString({OLESTR('x'), WCHAR(0xD83D), WCHAR(0xDE00), OLESTR('y')}), lines[0].text);
  EXPECT_EQ(WString(OLESTR("next")), lines[1].text);
}

TEST_F(LineReaderTest, Utf8InvalidLineFailsAloneAndReadingGoesOn) {
  auto lines = ReadAll("\xEF\xBB\xBF" "ok\nbad\x80\nafter");
  ASSERT_EQ(3u, lines.size());
  EXPECT_TRUE(lines[0].ok);
  EXPECT_FALSE(lines[1].ok);
  EXPECT_TRUE(lines[2].ok);
  EXPECT_EQ(WString(OLESTR("after")), lines[2].text);
}

TEST_F(LineReaderTest, Utf16MarkCrLfAndRecordedLength) {
  int encoding = -1;
  auto lines = ReadAll(std::string("\xFF\xFE" "a\0\r\0\n\0", 8), &encoding);
  EXPECT_EQ(FE_UTF16LE, encoding);
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(WString(OLESTR("a")), lines[0].text);
  EXPECT_EQ(1u, lines[0].recorded);
}

TEST_F(LineReaderTest, Utf16FFFFUnitEndsTheLine) {
  auto lines = ReadAll(std::string("\xFF\xFE" "a\0\xFF\xFF" "b\0", 8));
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(WString(OLESTR("a")), lines[0].text);
  EXPECT_EQ(WString(OLESTR("b")), lines[1].text);
}

TEST_F(LineReaderTest, AnsiCrAnywhereAndRecordedLength) {
  int encoding = -1;
  auto lines = ReadAll("a\rb\n", &encoding);
  EXPECT_EQ(FE_ANSI, encoding);
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(WString(OLESTR("ab")), lines[0].text);
  EXPECT_EQ(3u, lines[0].recorded);
}

TEST_F(LineReaderTest, PartialMarksAndOtherMarksReadAsAnsi) {
  int encoding = -1;
  auto lines = ReadAll("\xEF\xBB", &encoding);
  EXPECT_EQ(FE_ANSI, encoding);
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(WString(OLESTR("\u00EF\u00BB")), lines[0].text);
  ReadAll("\xFE\xFFx", &encoding);
  EXPECT_EQ(FE_ANSI, encoding);
}

TEST_F(LineReaderTest, EmptyFileAndLoneLf) {
  EXPECT_TRUE(ReadAll("").empty());
  folder_.Write("lf.txt", "\n");
  CEncodedTextFile file;
  ASSERT_TRUE(file.Open(folder_.WidePath("lf.txt").c_str(), OM_READ, FE_UTF8));
  WString text = OLESTR(">");
  UINT recorded = 0xdeadbeef;
  ASSERT_TRUE(file.ReadLineText(&text, true, &recorded));
  EXPECT_EQ(1u, recorded);  // the converted terminator alone
  EXPECT_EQ(WString(OLESTR(">")), text);
  recorded = 0xdeadbeef;
  EXPECT_FALSE(file.ReadLineText(&text, true, &recorded));
  EXPECT_EQ(0u, recorded);  // nothing read
  EXPECT_EQ(WString(OLESTR(">")), text);
}

TEST_F(LineReaderTest, AnsiKeepsFFAndNulEndsLineText) {
  auto lines = ReadAll(std::string("x\xFFy\nab\0cd\nlast", 15));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(WString(OLESTR("x\u00FFy")), lines[0].text);
  EXPECT_EQ(WString(OLESTR("ab")), lines[1].text);
  EXPECT_EQ(3u, lines[1].recorded);  // converted up to the NUL
  EXPECT_EQ(WString(OLESTR("last")), lines[2].text);
}

TEST_F(LineReaderTest, WritesExactBytesPerEncoding) {
  EXPECT_EQ(std::string("\xFF\xFE" "a\0\r\0\n\0b\0\r\0\n\0\xE9\0", 16),
            WriteAll(FE_UTF16LE, {OLESTR("a"), OLESTR("b"), OLESTR("\u00E9")}));
  EXPECT_EQ("\xEF\xBB\xBF" "a\r\n\xE2\x82\xAC", WriteAll(FE_UTF8, {OLESTR("a"), OLESTR("\u20AC")}));
  EXPECT_EQ("a\r\n\x80?", WriteAll(FE_ANSI, {OLESTR("a"), OLESTR("\u20AC\u4E2D")}));
  // Characters outside the BMP go out as two three-byte sequences.
  EXPECT_EQ("\xEF\xBB\xBF\xED\xA0\xBD\xED\xB8\x80", WriteAll(FE_UTF8, {WString({WCHAR(0xD83D), WCHAR(0xDE00)})}));
}

TEST_F(LineReaderTest, EmptyTextWithoutNewlineWritesNothing) {
  EXPECT_EQ("\xEF\xBB\xBF", WriteAll(FE_UTF8, {WString()}));
  EXPECT_EQ("", WriteAll(FE_ANSI, {WString()}));
  EXPECT_EQ("\r\n", WriteAll(FE_ANSI, {WString()}, true));
}

TEST_F(LineReaderTest, WrittenFilesReadBack) {
  const std::vector<WString> text = {OLESTR("one @@ k_;_v_;_"), OLESTR(""), WString({WCHAR(0xD83D), WCHAR(0xDE00)})};
  for (int encoding : {FE_UTF8, FE_UTF16LE}) {
    SCOPED_TRACE(encoding);
    std::string bytes = WriteAll(encoding, text);
    auto lines = ReadAll(bytes);
    ASSERT_EQ(text.size(), lines.size());
    for (size_t i = 0; i < text.size(); ++i) EXPECT_EQ(text[i], lines[i].text);
  }
}

TEST_F(LineReaderTest, RefusalsTouchNoFile) {
  folder_.Write("keep.txt", "precious");
  CEncodedTextFile file;
  EXPECT_FALSE(file.Open(folder_.WidePath("keep.txt").c_str(), OM_WRITE, 3));
  EXPECT_FALSE(file.Open(folder_.WidePath("keep.txt").c_str(), 7, FE_UTF8));
  EXPECT_EQ("precious", folder_.Read("keep.txt"));
  EXPECT_FALSE(file.Open(folder_.WidePath("missing.txt").c_str(), OM_READ, FE_UTF8));
  EXPECT_FALSE(file.Open(nullptr, OM_READ, FE_UTF8));
  WString text = OLESTR(">");
  EXPECT_FALSE(file.ReadLineText(&text, true));
  EXPECT_EQ(WString(OLESTR(">")), text);
  EXPECT_FALSE(file.WriteLine(nullptr, true));
  EXPECT_TRUE(file.AtEnd());  // a reading loop on a closed file ends
}

// A stream handed in stays its owner's: the facade writes through it and lets
// it go unclosed, on Close and when it opens another file; a file it opened
// itself it closes.
TEST_F(LineReaderTest, AttachedStreamIsLetGoAndAnOpenedOneClosed) {
  FILE* stream = nullptr;
  ASSERT_EQ(0, WFOpen(&stream, folder_.WidePath("attached.txt").c_str(), OLESTR("w+b")));
  folder_.Write("other.txt", "x");
  {
    CEncodedTextFile file;
    ASSERT_TRUE(file.Attach(stream, FE_UTF8));
    EXPECT_TRUE(file.WriteLine(OLESTR("a"), true));
    ASSERT_TRUE(file.Open(folder_.WidePath("other.txt").c_str(), OM_READ, FE_UTF8));
    EXPECT_TRUE(file.IsOpen());
  }
  // Windows refuses to delete a file still open; the facade closed it.
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(folder_.Path("other.txt"), error)) << error.message();
  {
    CEncodedTextFile file;
    ASSERT_TRUE(file.Attach(stream, FE_UTF8));
    EXPECT_TRUE(file.WriteLine(OLESTR("b"), true));
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
  }
  EXPECT_EQ(1u, std::fwrite("c", 1, 1, stream));
  EXPECT_EQ(0, std::fclose(stream));
  // Each attach writes the mark at the start, over the one before.
  EXPECT_EQ("\xEF\xBB\xBF" "b\r\nc", folder_.Read("attached.txt"));
}

TEST_F(LineReaderTest, AppendAddsInBinaryMode) {
  WriteAll(FE_ANSI, {OLESTR("a")});
  CEncodedTextFile file;
  ASSERT_TRUE(file.Open(folder_.WidePath("out.txt").c_str(), OM_APPEND, FE_ANSI));
  zan::UniqueBstr text = zan::UniqueBstr::FromText(OLESTR("b"));
  EXPECT_TRUE(file.WriteLine(text.get(), true));
  file.Close();
  EXPECT_EQ("ab\r\n", folder_.Read("out.txt"));
}

// Each failure keeps its reason, through GetLastError at once and through
// LastError() afterwards, so a caller can tell a missing file from one it
// may not write.
TEST_F(LineReaderTest, FailuresKeepTheirReason) {
  struct Case {
    const char* name;
    WString path;
    int mode;
    DWORD error;
  };
  folder_.Write("present.txt", "x");
  std::filesystem::create_directory(folder_.Path("folder"));
  const Case cases[] = {
      {"missing file", folder_.WidePath("missing.txt"), OM_READ, ERROR_FILE_NOT_FOUND},
      {"missing folder", folder_.WidePath("none/out.txt"), OM_WRITE, ERROR_FILE_NOT_FOUND},
      {"folder written as a file", folder_.WidePath("folder"), OM_WRITE, ERROR_ACCESS_DENIED},
      {"bad mode", folder_.WidePath("present.txt"), 7, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CEncodedTextFile file;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(file.Open(c.path.c_str(), c.mode, FE_UTF8));
    EXPECT_EQ(c.error, GetLastError());
    EXPECT_EQ(c.error, file.LastError());
    EXPECT_HR(HRESULT_FROM_WIN32(c.error), zan::HResultFromLastError());
  }
  SetLastError(ERROR_SUCCESS);
  EXPECT_HR(E_FAIL, zan::HResultFromLastError());  // a failure that recorded no reason
  CEncodedTextFile file;
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), file.LastError());
  ASSERT_TRUE(file.Open(folder_.WidePath("present.txt").c_str(), OM_READ, FE_UTF8));
  WString text;
  EXPECT_TRUE(file.ReadLineText(&text, true));
  EXPECT_FALSE(file.ReadLineText(&text, true));  // the end of the file is no failure
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), file.LastError());
  EXPECT_TRUE(file.Close());
}

TEST_F(LineReaderTest, UndecodableLineKeepsItsReason) {
  CEncodedTextFile file;
  folder_.Write("bad.txt", "\xEF\xBB\xBF" "\xC3\n");
  ASSERT_TRUE(file.Open(folder_.WidePath("bad.txt").c_str(), OM_READ, FE_UTF8));
  WString text = OLESTR(">");
  UINT recorded = 0xdeadbeef;
  EXPECT_FALSE(file.ReadLineText(&text, true, &recorded));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), file.LastError());
  EXPECT_EQ(2u, recorded);  // the line was read, only its text is refused
  EXPECT_EQ(WString(OLESTR(">")), text);
}

#if defined(ZAN_PLATFORM_POSIX)
// A full disk shows when the stream's buffer reaches the file: at the
// latest when it closes. /dev/full is a host facility of Linux.
TEST_F(LineReaderTest, FullDiskFailsTheCloseWithItsReason) {
  CEncodedTextFile file;
  ASSERT_TRUE(file.Open(OLESTR("/dev/full"), OM_WRITE, FE_UTF8));
  zan::UniqueBstr text = zan::UniqueBstr::FromText(OLESTR("line"));
  bool written = file.WriteLine(text.get(), true);
  bool closed = file.Close();
  EXPECT_FALSE(written && closed);
  EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), file.LastError());
  EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
}
#endif

TEST_F(LineReaderTest, TextIntoAReusedStringLineByLine) {
  // Long line before short ones (the reused string shrinks), an embedded
  // NUL (the text ends there, the recorded length goes on: past it in
  // UTF-8, up to it in UTF-16 and ANSI), CR anywhere, an undecodable line
  // (recorded all the same), in every encoding.
  struct Case {
    std::string bytes;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {std::string("\xEF\xBB\xBF" "a long first line\r\nb\x00" "c\r\n\xC3(x\nd\re\n\n\xE4\xB8\x96", 39),
       {{true, OLESTR("a long first line"), 18},
        {true, OLESTR("b"), 4},
        {false, OLESTR(""), 4},
        {true, OLESTR("de"), 3},
        {true, OLESTR(""), 1},
        {true, OLESTR("\u4E16"), 4}}},
      {std::string("\xFF\xFE" "l\0o\0n\0g\0\r\0\n\0x\0\0\0y\0\n\0z\0", 24),
       {{true, OLESTR("long"), 4}, {true, OLESTR("x"), 1}, {true, OLESTR("z"), 1}}},
      {"plain ANSI line\nwith \xE9\r\nshort",
       {{true, OLESTR("plain ANSI line"), 16}, {true, OLESTR("with \u00E9"), 7}, {true, OLESTR("short"), 6}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    std::vector<Line> lines = ReadAll(c.bytes);
    ASSERT_EQ(c.lines.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(c.lines[i].ok, lines[i].ok) << i;
      EXPECT_EQ(c.lines[i].text, lines[i].text) << i;
      EXPECT_EQ(c.lines[i].recorded, lines[i].recorded) << i;
    }
  }
}

// Files are read in blocks: lines, CR LF pairs and multibyte characters
// that straddle a block's end read as they would one unit at a time, and
// the bytes left to read count what the reader holds.
TEST_F(LineReaderTest, LinesAcrossReadBlocksReadWhole) {
  std::vector<WString> texts;
  for (size_t length : {65530u, 65531u, 65532u, 65533u, 65534u, 1u, 0u, 131070u, 3u}) {
    WString text(length, OLESTR('a'));
    if (length >= 2) text[length - 2] = 0x20AC;  // three bytes in UTF-8
    texts.push_back(text);
  }
  for (int encoding : {FE_UTF8, FE_UTF16LE}) {
    SCOPED_TRACE(encoding);
    folder_.Write("in.txt", WriteAll(encoding, texts, true));
    CEncodedTextFile file;
    ASSERT_TRUE(file.Open(folder_.WidePath("in.txt").c_str(), OM_READ, FE_UTF8));
    const int64_t size = file.RemainingBytes();
    WString text;
    for (size_t i = 0; i < texts.size(); ++i) {
      text.clear();
      ASSERT_TRUE(file.ReadLineText(&text, true)) << i;
      EXPECT_TRUE(text == texts[i]) << i << ": " << text.size() << " units";
      EXPECT_LT(file.RemainingBytes(), size);
    }
    EXPECT_EQ(0, file.RemainingBytes());
    EXPECT_FALSE(file.AtEnd());  // nothing has looked past the last LF yet
    EXPECT_FALSE(file.ReadLineText(&text, true));
    EXPECT_TRUE(file.AtEnd());
  }
}

// A line's text is appended to what the string holds, so a loader can read
// straight into its own text; a line that fails leaves the string as it was.
TEST_F(LineReaderTest, TextIsAppendedAndAFailedLineAddsNothing) {
  const std::string cases[] = {
      "\xEF\xBB\xBF" "one\r\nbad\xC3\ntwo",
      std::string("\xFF\xFE" "o\0n\0e\0\n\0t\0w\0o\0", 16),
      "one\r\ntwo",
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    folder_.Write("in.txt", bytes);
    CEncodedTextFile file;
    ASSERT_TRUE(file.Open(folder_.WidePath("in.txt").c_str(), OM_READ, FE_UTF8));
    WString text = OLESTR(">");
    while (!file.AtEnd()) {
      if (file.ReadLineText(&text, true)) text += OLESTR('|');
    }
    EXPECT_EQ(WString(OLESTR(">one|two|")), text);
  }
}
