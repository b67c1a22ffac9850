#include <filesystem>

#include "script_fixture.h"
#include "support/temp_folder.h"
#include "textio/file_encoding.h"

#if defined(ZAN_PLATFORM_POSIX)
#include <csignal>
#include <sys/resource.h>
#endif

using zan::ComPtr;
using zan::UniqueVariant;
using zantest::Lines;
using zantest::kSource;

namespace {

class PersistenceTest : public zantest::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    ASSERT_HR(S_OK, script_.As(IidOf<IPersistFile>(), &file_));
  }
  void TearDown() override {
    file_.Reset();
    ScriptTest::TearDown();
  }

  HRESULT Save(const std::string& name, LONG encoding) {
    EXPECT_HR(S_OK, script_->put_SaveEncoding(encoding));
    return file_->Save(folder_.WidePath(name).c_str(), TRUE);
  }

  // The bytes a save of the script writes in encoding.
  std::string Saved(LONG encoding) {
    EXPECT_HR(S_OK, Save("saved.txt", encoding));
    return folder_.Read("saved.txt");
  }

  // A new script loaded from the file name.
  ComPtr<IScript4> Loaded(const std::string& name) {
    ComPtr<IScript4> other;
    EXPECT_HR(S_OK, Create(CLSID_Script, &other));
    ComPtr<IPersistFile> file;
    EXPECT_HR(S_OK, other.As(IidOf<IPersistFile>(), &file));
    EXPECT_HR(S_OK, file->Load(folder_.WidePath(name).c_str(), 0));
    return other;
  }

  // Lines of a script as "text|key=value|..." for comparison.
  std::vector<std::string> Dump(IScript4* script) {
    std::vector<std::string> out;
    LONG size = 0;
    script->get_Size(&size);
    for (LONG i = 0; i < size; ++i) {
      ComPtr<IDispatch> line;
      script->get_Line(i, line.put());
      ComPtr<Scripting::IDictionary> dict;
      std::string row;
      if (line && SUCCEEDED(line.As(Scripting::IID_IDictionary, &dict))) {
        UniqueVariant keys, items;
        dict->Keys(keys.get());
        dict->Items(items.get());
        LONG upper = -1;
        SafeArrayGetUBound(V_ARRAY(keys.get()), 1, &upper);
        for (LONG k = 0; k <= upper; ++k) {
          UniqueVariant key, item;
          SafeArrayGetElement(V_ARRAY(keys.get()), &k, key.get());
          SafeArrayGetElement(V_ARRAY(items.get()), &k, item.get());
          row += zantest::Narrow(V_BSTR(key.get())) + "=" +
                 (V_VT(item.get()) == VT_BSTR ? zantest::Narrow(V_BSTR(item.get())) : "?") + "|";
        }
      }
      out.push_back(row);
    }
    return out;
  }

  void SetInfo(LONG i, const WCHAR* key, const WCHAR* value) {
    ASSERT_HR(S_OK, script_->SetLineInfo(i, Text(key), Text(value)));
  }

  ComPtr<IPersistFile> file_;
  zantest::TempFolder folder_;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(PersistenceTest, LinesAreSeparatedByCrLfAndAnEmptyLastLineIsNotWritten) {
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->InsertScriptLine(1, Text(OLESTR(""))));
  Append(OLESTR("b"));
  EXPECT_EQ("a\r\n\r\nb", Saved(FE_ANSI));
  ASSERT_HR(S_OK, script_->RemoveLine(2));
  EXPECT_EQ("a\r\n", Saved(FE_ANSI));
  EXPECT_EQ((Strings{"script source=a|"}), Dump(Loaded("saved.txt").get()));
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_EQ("", Saved(FE_ANSI));  // an empty script: the mark alone
  EXPECT_EQ("\xEF\xBB\xBF", Saved(FE_UTF8));
  EXPECT_EQ("\xFF\xFE", Saved(FE_UTF16LE));
}

TEST_F(PersistenceTest, MarksAndUnitsOfEachEncoding) {
  Append(OLESTR("a\n\u00E9"));
  EXPECT_EQ("a\r\n\xE9", Saved(FE_ANSI));
  EXPECT_EQ("\xEF\xBB\xBF" "a\r\n\xC3\xA9", Saved(FE_UTF8));
  EXPECT_EQ(std::string("\xFF\xFE" "a\0\r\0\n\0\xE9\0", 10), Saved(FE_UTF16LE));
}

TEST_F(PersistenceTest, InformationIsWrittenAfterTheMarkerInKeyOrder) {
  Append(OLESTR("T\nU"));
  SetInfo(0, OLESTR("K"), OLESTR("V"));
  SetInfo(0, OLESTR("B"), OLESTR("b"));
  SetInfo(0, OLESTR("with id"), OLESTR("7"));  // never saved
  SetInfo(0, OLESTR("empty"), OLESTR(""));     // nothing to save
  ComPtr<Scripting::IDictionary> line = LineAt(1);
  UniqueVariant key = zantest::String(OLESTR("n")), number = zantest::Long(5);
  ASSERT_HR(S_OK, line->put_Item(key.get(), number.get()));  // not a string: not saved
  EXPECT_EQ("T @@ B_;_b_;_K_;_V_;_\r\nU", Saved(FE_ANSI));
}

TEST_F(PersistenceTest, RoundTripsInEveryEncoding) {
  Append(OLESTR("first\nsecond line\nlast"));
  SetInfo(0, OLESTR("script comments"), OLESTR("a comment"));
  SetInfo(1, OLESTR("k1"), OLESTR("v1"));
  SetInfo(1, OLESTR("k2"), OLESTR("v2 with blanks inside"));
  SetInfo(2, OLESTR("\u00E9t\u00E9"), OLESTR("caf\u00E9"));
  const auto expected = Dump(script_.get());
  for (LONG encoding : {FE_ANSI, FE_UTF16LE, FE_UTF8}) {
    SCOPED_TRACE(encoding);
    ASSERT_HR(S_OK, Save("round.txt", encoding));
    EXPECT_EQ(expected, Dump(Loaded("round.txt").get()));
  }
  // What the ANSI code page cannot hold travels in the Unicode encodings.
  ASSERT_HR(S_OK, script_->SetLineInfo(2, Text(kSource), Text(OLESTR("\u4E2D\u6587 \U0001F600"))));
  const auto wide = Dump(script_.get());
  for (LONG encoding : {FE_UTF16LE, FE_UTF8}) {
    SCOPED_TRACE(encoding);
    ASSERT_HR(S_OK, Save("wide.txt", encoding));
    EXPECT_EQ(wide, Dump(Loaded("wide.txt").get()));
  }
}

TEST_F(PersistenceTest, ParseRules) {
  folder_.Write("rules.txt",
                "P @@ Q\r\n"                       // the marker belongs to the text
                "T @@   \r\n"                      // a blank rest: text before it, trimmed
                "T2  @@ k_;_v_;_ x_;_unclosed\r\n"  // an unclosed pair is dropped
                "A @@ b @@  k _;_  1 _;_k_;_2_;_\r\n"  // the last marker; later pair wins; trimmed
                "E @@ _;_empty key_;_\r\n"
                "plain");
  EXPECT_EQ((Strings{"script source=P @@ Q|", "script source=T|", "k=v|script source=T2|",
                     "k=2|script source=A @@ b|", "=empty key|script source=E|", "script source=plain|"}),
            Dump(Loaded("rules.txt").get()));
}

// A text that holds the marker followed by a pair separator, or by blanks
// only, and has no information of its own, would read back cut at that
// marker: it is saved with an empty marker after it, which keeps it whole.
TEST_F(PersistenceTest, TextsThatLookLikeInformationReadBackWhole) {
  for (const WCHAR* text : {OLESTR(" @@ _;_"), OLESTR("a @@ b_;_c"), OLESTR("x @@ k_;_v_;_")})
    ASSERT_HR(S_OK, script_->SetLineInfo(Size(), Text(kSource), Text(text)));
  Append(OLESTR("plain @@ text"));
  EXPECT_EQ("\xEF\xBB\xBF @@ _;_ @@ \r\na @@ b_;_c @@ \r\nx @@ k_;_v_;_ @@ \r\nplain @@ text", Saved(FE_UTF8));
  EXPECT_EQ(Dump(script_.get()), Dump(Loaded("saved.txt").get()));
}

TEST_F(PersistenceTest, LoadAppendsAndLeavesTheScriptClean) {
  folder_.Write("two.txt", "x\r\ny");
  Append(OLESTR("a\nb\nc"));
  EXPECT_TRUE(Dirty());
  ASSERT_HR(S_OK, file_->Load(folder_.WidePath("two.txt").c_str(), 0));
  EXPECT_EQ((Lines{"a", "b", "c", "x", "y"}), Texts());
  EXPECT_FALSE(Dirty());
  LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
  EXPECT_HR(E_FAIL, file_->GetCurFile(&name));
  EXPECT_EQ(nullptr, name);

  SetLastError(ERROR_SUCCESS);
  ASSERT_HR(S_OK, script_->SetDirty(1));
  EXPECT_HR(E_FAIL, file_->Load(folder_.WidePath("missing.txt").c_str(), 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_HR(E_FAIL, file_->Load(nullptr, 0));
  EXPECT_TRUE(Dirty());
  EXPECT_EQ(5, Size());
}

TEST_F(PersistenceTest, SaveClearsTheDirtyFlag) {
  Append(OLESTR("a"));
  ASSERT_TRUE(Dirty());
  ASSERT_HR(S_OK, Save("a.txt", FE_UTF8));
  EXPECT_FALSE(Dirty());
  EXPECT_HR(E_NOTIMPL, file_->SaveCompleted(nullptr));
}

// A save that fails leaves the old file as it was, byte for byte, leaves no
// new file beside it, and leaves the dirty flag set.
TEST_F(PersistenceTest, FailedSavesKeepTheOldFile) {
  folder_.Write("keep.txt", "old bytes");
  std::filesystem::create_directory(folder_.Path("folder"));
  Append(OLESTR("new"));
  EXPECT_HR(E_FAIL, Save("keep.txt", 7));
  EXPECT_HR(E_FAIL, Save("folder", FE_UTF8));
  EXPECT_HR(E_FAIL, Save("none/keep.txt", FE_UTF8));
  EXPECT_HR(E_FAIL, file_->Save(nullptr, TRUE));
  EXPECT_EQ("old bytes", folder_.Read("keep.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(folder_.Path("folder")));
  EXPECT_TRUE(Dirty());
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path(""))) entries += entry.exists();
  EXPECT_EQ(2u, entries);  // keep.txt and folder: nothing left behind
}

TEST_F(PersistenceTest, ReadOnlyTargetIsRefused) {
  folder_.Write("readonly.txt", "old bytes");
  std::filesystem::permissions(folder_.Path("readonly.txt"), std::filesystem::perms::owner_read);
  FILE* probe = nullptr;
  WFOpen(&probe, folder_.WidePath("readonly.txt").c_str(), OLESTR("r+b"));
  if (probe) {
    std::fclose(probe);
    std::filesystem::permissions(folder_.Path("readonly.txt"), std::filesystem::perms::owner_all);
    GTEST_SKIP() << "this process may write read-only files (it runs as root)";
  }
  Append(OLESTR("new"));
  SetLastError(ERROR_SUCCESS);
  EXPECT_HR(E_FAIL, Save("readonly.txt", FE_UTF8));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  std::filesystem::permissions(folder_.Path("readonly.txt"), std::filesystem::perms::owner_all);
  EXPECT_EQ("old bytes", folder_.Read("readonly.txt"));
}

#if defined(ZAN_PLATFORM_POSIX)
// A file size limit makes the writes fail part-way, as a full disk does.
TEST_F(PersistenceTest, SaveThatFailsHalfWayKeepsTheOldFile) {
  folder_.Write("big.txt", "old bytes");
  for (int i = 0; i < 2000; ++i) Append(OLESTR("a line long enough to pass the limit soon"));
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit small = saved;
  small.rlim_cur = 16384;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  SetLastError(ERROR_SUCCESS);
  HRESULT hr = Save("big.txt", FE_UTF8);
  DWORD reason = GetLastError();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_HR(E_FAIL, hr);
  EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), reason);
  EXPECT_EQ("old bytes", folder_.Read("big.txt"));
  EXPECT_TRUE(Dirty());
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path(""))) entries += entry.exists();
  EXPECT_EQ(1u, entries);
}

TEST_F(PersistenceTest, SaveThroughALinkReplacesItsFileAndKeepsPermissions) {
  folder_.Write("real.txt", "old");
  std::filesystem::permissions(folder_.Path("real.txt"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write |
                                                             std::filesystem::perms::group_read);
  std::filesystem::create_symlink(folder_.Path("real.txt"), folder_.Path("link.txt"));
  Append(OLESTR("new"));
  ASSERT_HR(S_OK, Save("link.txt", FE_ANSI));
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.Path("link.txt")));
  EXPECT_EQ("new", folder_.Read("real.txt"));
  EXPECT_EQ(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read,
            std::filesystem::status(folder_.Path("real.txt")).permissions());
}
#endif
