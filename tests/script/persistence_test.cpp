#include <filesystem>
#include <functional>

#include "script_fixture.h"
#include "support/counting_object.h"
#include "support/temp_folder.h"
#include "textio/file_encoding.h"

#if defined(ZAN_PLATFORM_POSIX)
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

// In code page 1252 "\u00EF\u00BB\u00BF" is the UTF-8 mark's bytes and
// "\u00FF\u00FE" the UTF-16LE mark's: an ANSI file that began with them
// would read back as another encoding, so the save is refused. Elsewhere in
// the file, or in a file with a mark, they are plain text.
TEST_F(PersistenceTest, AnAnsiFileNeverBeginsLikeAnotherEncodingsMark) {
  folder_.Write("keep.txt", "old bytes");
  for (const WCHAR* mark : {OLESTR("\u00EF\u00BB\u00BFtext"), OLESTR("\u00FF\u00FE")}) {
    ASSERT_HR(S_OK, script_->Empty());
    Append(mark);
    Append(OLESTR("second"));
    SetLastError(ERROR_SUCCESS);
    EXPECT_HR(E_FAIL, Save("keep.txt", FE_ANSI));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    EXPECT_EQ("old bytes", folder_.Read("keep.txt"));
    for (LONG encoding : {FE_UTF16LE, FE_UTF8}) {
      ASSERT_HR(S_OK, Save("marked.txt", encoding));
      EXPECT_EQ(Dump(script_.get()), Dump(Loaded("marked.txt").get()));
    }
    ASSERT_HR(S_OK, script_->InsertScriptLine(0, Text(OLESTR(""))));
    ASSERT_HR(S_OK, Save("later.txt", FE_ANSI));
    EXPECT_EQ(Dump(script_.get()), Dump(Loaded("later.txt").get()));
  }
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

// A line holding more information than lines usually do is read in
// place in key order all the same, and loads back whole.
TEST_F(PersistenceTest, ALineWithMuchInformationIsWrittenInKeyOrder) {
  Append(OLESTR("T"));
  std::string expected = "T @@ ";
  std::vector<WString> keys;
  for (int i = 0; i < 150; ++i) {
    const WCHAR key[] = {'k', static_cast<WCHAR>('0' + i / 100), static_cast<WCHAR>('0' + i / 10 % 10),
                         static_cast<WCHAR>('0' + i % 10), 0};
    keys.emplace_back(key);
  }
  for (size_t i = keys.size(); i-- > 0;) SetInfo(0, keys[i].c_str(), keys[i].c_str());
  for (const WString& key : keys) {
    const std::string k = zantest::Narrow(key.c_str());
    expected += k + "_;_" + k + "_;_";
  }
  EXPECT_EQ(expected, Saved(FE_ANSI));
  EXPECT_EQ(Dump(script_.get()), Dump(Loaded("saved.txt").get()));
  // Read again after a change, from the start.
  ASSERT_HR(S_OK, script_->DeleteLineInfo(0, Text(OLESTR("k075"))));
  const std::string gone = "k075_;_k075_;_";
  expected.erase(expected.find(gone), gone.size());
  EXPECT_EQ(expected, Saved(FE_ANSI));
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

// A loaded line keeps its texts in its own block: every way a value can
// leave it (replaced, removed, emptied, moved into the large form, the line
// released while a host still holds copies) must leave that block alone.
TEST_F(PersistenceTest, ALoadedLinesTextsLeaveItInEveryWay) {
  folder_.Write("lines.txt",
                "first @@ a_;_1_;_b_;_2_;_a_;_3_;_\r\n"
                "second @@ c_;_4_;_\r\n"
                "third\r\n"
                "fourth @@ d_;_5_;_");
  ComPtr<IScript4> loaded = Loaded("lines.txt");
  ASSERT_EQ((Strings{"a=3|b=2|script source=first|", "c=4|script source=second|", "script source=third|",
                     "d=5|script source=fourth|"}),
            Dump(loaded.get()));
  std::vector<ComPtr<Scripting::IDictionary>> lines;
  for (LONG i = 0; i < 4; ++i) {
    ComPtr<IDispatch> line;
    ASSERT_HR(S_OK, loaded->get_Line(i, line.put()));
    lines.emplace_back();
    ASSERT_HR(S_OK, line.As(Scripting::IID_IDictionary, &lines.back()));
  }
  UniqueVariant source = zan::MakeVariantBstr(kSource);
  UniqueVariant a = zan::MakeVariantBstr(OLESTR("a"));
  UniqueVariant held;  // a host's copy outlives its line
  ASSERT_HR(S_OK, lines[0]->get_Item(source.get(), held.get()));
  UniqueVariant same;
  ASSERT_HR(S_OK, lines[0]->get_Item(a.get(), same.get()));
  ASSERT_HR(S_OK, lines[0]->put_Item(a.get(), same.get()));   // the same text again
  UniqueVariant other = zan::MakeVariantBstr(OLESTR("new"));
  ASSERT_HR(S_OK, lines[0]->put_Item(source.get(), other.get()));  // replaced
  ASSERT_HR(S_OK, lines[0]->Remove(a.get()));                      // removed
  ASSERT_HR(S_OK, lines[1]->RemoveAll());                          // emptied
  // Enough keys to move every entry, the loaded ones too, to the large form
  // and back.
  for (int k = 0; k < 100; ++k) {
    const std::string name = "k" + std::to_string(k);
    UniqueVariant key = zan::MakeVariantBstr(WString(name.begin(), name.end()).c_str());
    ASSERT_HR(S_OK, lines[2]->Add(key.get(), other.get()));
  }
  for (int k = 0; k < 100; ++k) {
    const std::string name = "k" + std::to_string(k);
    UniqueVariant key = zan::MakeVariantBstr(WString(name.begin(), name.end()).c_str());
    ASSERT_HR(S_OK, lines[2]->Remove(key.get()));
  }
  ComPtr<IUnknown> clone;
  ComPtr<IKBCloneable> cloneable;
  ASSERT_HR(S_OK, lines[3].As(IidOf<IKBCloneable>(), &cloneable));
  ASSERT_HR(S_OK, cloneable->Clone(clone.put()));
  EXPECT_EQ((Strings{"b=2|script source=new|", "", "script source=third|", "d=5|script source=fourth|"}),
            Dump(loaded.get()));
  lines.clear();
  loaded.Reset();
  cloneable.Reset();
  EXPECT_EQ(OLESTR("first"), WString(V_BSTR(held.get())));
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

// A save keeps the file it saves: its name, its links, its owner, group,
// permissions and attributes, whichever way the new bytes get there.

namespace {

// A line that is no dictionary and calls back when the save asks it for
// one: the moment the new bytes are being written.
class SaveObserver : public zantest::CountingObject {
 public:
  std::function<void()> onSave;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    if (IsEqualGUID(iid, Scripting::IID_IDictionary) && onSave) std::exchange(onSave, nullptr)();
    return CountingObject::QueryInterface(iid, ppv);
  }
};

size_t EntriesIn(const std::filesystem::path& folder) {
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) ++entries, (void)entry;
  return entries;
}

}  // namespace

#if defined(ZAN_PLATFORM_POSIX)

namespace {

// Saves that must meet a user's permissions run as an ordinary user: when
// the suite runs as root (as in CI), a child process that has dropped to
// nobody, with kTeam as its one further group; otherwise the suite's own
// user in this process.
constexpr uid_t kNobody = 65534;
constexpr gid_t kTeam = 65533;       // a group nobody belongs to here
constexpr uid_t kColleague = 65533;  // another member of kTeam

struct UserSave {
  HRESULT hr;
  DWORD reason;  // GetLastError after the save
  bool dirty;    // the script's flag afterwards
};

bool AsRoot() { return geteuid() == 0; }
uid_t User() { return AsRoot() ? kNobody : geteuid(); }
gid_t UserGroup() { return AsRoot() ? static_cast<gid_t>(kNobody) : getegid(); }

void Own(const std::filesystem::path& path, uid_t uid, gid_t gid, mode_t mode) {
  ASSERT_EQ(0, lchown(path.c_str(), uid, gid)) << path;
  ASSERT_EQ(0, chmod(path.c_str(), mode)) << path;
}

struct stat StatOf(const std::filesystem::path& path) {
  struct stat st = {};
  EXPECT_EQ(0, stat(path.c_str(), &st)) << path;
  return st;
}

class UserSaveTest : public PersistenceTest {
 protected:
  UserSave SaveAsUser(const std::string& name) {
    if (!AsRoot()) {
      const HRESULT hr = Save(name, FE_ANSI);
      const DWORD reason = GetLastError();
      return {hr, reason, Dirty()};
    }
    int pipe_[2];
    EXPECT_EQ(0, pipe(pipe_));
    const pid_t child = fork();
    if (child == 0) {
      close(pipe_[0]);
      UserSave result{E_UNEXPECTED, ERROR_SUCCESS, true};
      const gid_t groups[] = {kTeam};
      if (setgroups(1, groups) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0) {
        result.hr = Save(name, FE_ANSI);
        result.reason = GetLastError();
        result.dirty = Dirty();
      }
      const ssize_t ignored = write(pipe_[1], &result, sizeof result);
      (void)ignored;
      _exit(0);
    }
    close(pipe_[1]);
    UserSave result{E_UNEXPECTED, ERROR_SUCCESS, true};
    EXPECT_EQ(static_cast<ssize_t>(sizeof result), read(pipe_[0], &result, sizeof result)) << "the child died";
    close(pipe_[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
  }
};

}  // namespace

TEST_F(UserSaveTest, ReadOnlyTargetIsRefused) {
  folder_.Write("readonly.txt", "old bytes");
  Own(folder_.Path(""), User(), UserGroup(), 0755);
  Own(folder_.Path("readonly.txt"), User(), UserGroup(), 0444);
  Append(OLESTR("new"));
  const UserSave saved = SaveAsUser("readonly.txt");
  EXPECT_HR(E_FAIL, saved.hr);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), saved.reason);
  EXPECT_TRUE(saved.dirty);
  EXPECT_EQ("old bytes", folder_.Read("readonly.txt"));
  EXPECT_EQ(1u, EntriesIn(folder_.Path("")));
}

// A writable file in a folder that takes no new files is rewritten where it
// stands; a new file there is refused, and the reason is the folder's.
TEST_F(UserSaveTest, AFolderThatTakesNoNewFilesStillHasItsFilesSaved) {
  folder_.Write("kept.txt", "old bytes, longer than the new ones");
  Own(folder_.Path("kept.txt"), User(), UserGroup(), 0640);
  Own(folder_.Path(""), User(), UserGroup(), 0555);
  const ino_t inode = StatOf(folder_.Path("kept.txt")).st_ino;
  Append(OLESTR("new"));
  const UserSave saved = SaveAsUser("kept.txt");
  const UserSave created = SaveAsUser("created.txt");
  Own(folder_.Path(""), User(), UserGroup(), 0755);
  EXPECT_HR(S_OK, saved.hr);
  EXPECT_FALSE(saved.dirty);
  EXPECT_EQ("new", folder_.Read("kept.txt"));
  const struct stat after = StatOf(folder_.Path("kept.txt"));
  EXPECT_EQ(inode, after.st_ino);
  EXPECT_EQ(0640u, after.st_mode & 07777);
  EXPECT_HR(E_FAIL, created.hr);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), created.reason) << "the folder's refusal, not the cleanup's";
  EXPECT_EQ(1u, EntriesIn(folder_.Path("")));
}

// In a team folder, a member who saves a colleague's file leaves it the
// colleague's, in the team's group, with its permissions.
TEST_F(UserSaveTest, AGroupMembersSaveKeepsTheOwnerAndGroup) {
  if (!AsRoot()) GTEST_SKIP() << "a colleague's file needs root to make";
  folder_.Write("shared.txt", "old");
  Own(folder_.Path(""), kColleague, kTeam, 0775);
  Own(folder_.Path("shared.txt"), kColleague, kTeam, 0660);
  Append(OLESTR("new\nlines"));
  const UserSave saved = SaveAsUser("shared.txt");
  EXPECT_HR(S_OK, saved.hr);
  EXPECT_EQ("new\r\nlines", folder_.Read("shared.txt"));
  const struct stat after = StatOf(folder_.Path("shared.txt"));
  EXPECT_EQ(kColleague, after.st_uid);
  EXPECT_EQ(kTeam, after.st_gid);
  EXPECT_EQ(0660u, after.st_mode & 07777);
  EXPECT_EQ(1u, EntriesIn(folder_.Path("")));
}

TEST_F(PersistenceTest, HardLinksKeepSharingTheSavedBytes) {
  folder_.Write("one.txt", "old bytes");
  std::filesystem::create_hard_link(folder_.Path("one.txt"), folder_.Path("two.txt"));
  Append(OLESTR("new"));
  ASSERT_HR(S_OK, Save("two.txt", FE_ANSI));
  EXPECT_EQ("new", folder_.Read("one.txt"));
  EXPECT_EQ(2u, std::filesystem::hard_link_count(folder_.Path("two.txt")));
  EXPECT_EQ(2u, EntriesIn(folder_.Path("")));
}

TEST_F(PersistenceTest, ADanglingLinkGetsItsFileCreated) {
  std::filesystem::create_symlink("later.txt", folder_.Path("link.txt"));
  Append(OLESTR("new"));
  ASSERT_HR(S_OK, Save("link.txt", FE_ANSI));
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.Path("link.txt")));
  EXPECT_EQ("new", folder_.Read("later.txt"));
}

// While the new bytes are written, the new file beside the target already
// has the target's permissions; a private file is never readable by others.
TEST_F(PersistenceTest, TheNewFileIsNeverMoreOpenThanTheTarget) {
  folder_.Write("private.txt", "old");
  std::filesystem::permissions(folder_.Path("private.txt"), std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::owner_write);
  Append(OLESTR("new"));
  SaveObserver observer;
  std::vector<unsigned> modes;
  observer.onSave = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path("")))
      modes.push_back(static_cast<unsigned>(StatOf(entry.path()).st_mode & 07777));
  };
  ASSERT_HR(S_OK, script_->AppendScriptLine(Text(OLESTR(""))));
  ASSERT_HR(S_OK, script_->SetLine(1, &observer));
  ASSERT_HR(S_OK, Save("private.txt", FE_ANSI));
  EXPECT_EQ((std::vector<unsigned>{0600u, 0600u}), modes) << "the target and the new file beside it";
  EXPECT_EQ(0600u, StatOf(folder_.Path("private.txt")).st_mode & 07777);
  EXPECT_EQ("new\r\n", folder_.Read("private.txt"));  // the observer is a line too
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_EQ(1u, observer.refs);
}

#endif  // ZAN_PLATFORM_POSIX

#if defined(ZAN_PLATFORM_WINDOWS)

// Windows refuses to open a read-only file for writing, even to
// administrators; Wine running as root does not, so the save checks.
TEST_F(PersistenceTest, ReadOnlyTargetIsRefused) {
  folder_.Write("readonly.txt", "old bytes");
  const WString name = folder_.WidePath("readonly.txt");
  ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY));
  Append(OLESTR("new"));
  SetLastError(ERROR_SUCCESS);
  EXPECT_HR(E_FAIL, Save("readonly.txt", FE_UTF8));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_TRUE(Dirty());
  ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ("old bytes", folder_.Read("readonly.txt"));
  EXPECT_EQ(1u, EntriesIn(folder_.Path("")));
}

TEST_F(PersistenceTest, ASaveKeepsTheAttributesAndTheLinks) {
  folder_.Write("hidden.txt", "old");
  folder_.Write("one.txt", "old bytes");
  const WString hidden = folder_.WidePath("hidden.txt");
  ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(CreateHardLinkW(folder_.WidePath("two.txt").c_str(), folder_.WidePath("one.txt").c_str(), nullptr));
  Append(OLESTR("new"));
  ASSERT_HR(S_OK, Save("hidden.txt", FE_ANSI));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
            GetFileAttributesW(hidden.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ("new", folder_.Read("hidden.txt"));
  ASSERT_HR(S_OK, Save("two.txt", FE_ANSI));
  EXPECT_EQ("new", folder_.Read("one.txt"));
  EXPECT_EQ(3u, EntriesIn(folder_.Path("")));
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
}

#endif  // ZAN_PLATFORM_WINDOWS
