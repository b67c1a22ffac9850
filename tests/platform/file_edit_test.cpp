// The file services of an edit in place: what a name stands for, private
// scratch files, and holds that keep other holds waiting while reads,
// writes and a save that puts a new file in the old one's place go on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "support/temp_folder.h"
#include "zanole/file_edit.h"
#include "zanole/wfile.h"

namespace {

std::string ReadAll(const WString& name) {
  FILE* file = nullptr;
  if (WFOpen(&file, name.c_str(), OLESTR("rb")) != 0) return "(unreadable)";
  std::string bytes;
  for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
  std::fclose(file);
  return bytes;
}

// Whether another editor (another thread, as a hold belongs to the thread
// that took it) could hold the file now; it lets go at once. Otherwise
// *error is why not.
bool OthersMayHold(const WString& name, DWORD* error = nullptr) {
  bool held = false;
  std::thread other([&] {
    WEditHold* hold = WHoldForEdit(name.c_str(), false);
    held = hold != nullptr;
    if (error) *error = held ? 0 : GetLastError();
    WReleaseHold(hold);
  });
  other.join();
  return held;
}

// A folder holding one script, "old", for each test.
class FileEdit : public testing::Test {
 protected:
  void SetUp() override { folder_.Write("script", "old"); }

  zantest::TempFolder folder_;
  const WString name_ = folder_.WidePath("script");
};

TEST_F(FileEdit, TellsAFileFromAFolderAndFromNothing) {
  EXPECT_EQ(WFileKind::kFile, WGetFileKind(name_.c_str()));
  EXPECT_EQ(WFileKind::kFolder, WGetFileKind(folder_.WidePath(".").c_str()));
  EXPECT_EQ(WFileKind::kMissing, WGetFileKind(folder_.WidePath("none").c_str()));
  EXPECT_EQ(WFileKind::kMissing, WGetFileKind(nullptr));
}

TEST_F(FileEdit, TellsOneFileByAnyOfItsNames) {
  folder_.Write("other", "old");
  std::filesystem::create_hard_link(folder_.Path("script"), folder_.Path("link"));
  EXPECT_TRUE(WIsSameFile(name_.c_str(), name_.c_str()));
  EXPECT_TRUE(WIsSameFile(name_.c_str(), folder_.WidePath("./script").c_str()));
  EXPECT_TRUE(WIsSameFile(name_.c_str(), folder_.WidePath("link").c_str()));
  EXPECT_FALSE(WIsSameFile(name_.c_str(), folder_.WidePath("other").c_str()));
  EXPECT_FALSE(WIsSameFile(name_.c_str(), folder_.WidePath("none").c_str()));
  EXPECT_FALSE(WIsSameFile(folder_.WidePath("none").c_str(), folder_.WidePath("none").c_str()));
  EXPECT_FALSE(WIsSameFile(folder_.WidePath(".").c_str(), folder_.WidePath(".").c_str()));
  EXPECT_FALSE(WIsSameFile(name_.c_str(), nullptr));
}

TEST_F(FileEdit, ScratchFilesAreNewEachTimeAndGoWhenRemoved) {
  FILE* first = nullptr;
  FILE* second = nullptr;
  WString firstName, secondName;
  ASSERT_EQ(0, WCreateScratchFile(&first, &firstName));
  ASSERT_EQ(0, WCreateScratchFile(&second, &secondName));
  EXPECT_NE(firstName, secondName);
  EXPECT_EQ(3u, std::fwrite("abc", 1, 3, first));
  EXPECT_EQ(0, std::fclose(first));
  EXPECT_EQ(0, std::fclose(second));
  EXPECT_EQ("abc", ReadAll(firstName));
  EXPECT_EQ("", ReadAll(secondName));

  EXPECT_EQ(0, WRemoveFile(firstName.c_str()));
  EXPECT_EQ(WFileKind::kMissing, WGetFileKind(firstName.c_str()));
  EXPECT_NE(0, WRemoveFile(firstName.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(0, WRemoveFile(secondName.c_str()));
}

TEST_F(FileEdit, AHoldKeepsOtherHoldsOutUntilItGoes) {
  EXPECT_TRUE(OthersMayHold(name_));
  WEditHold* first = WHoldForEdit(name_.c_str(), true);
  ASSERT_NE(nullptr, first);
  DWORD error = 0;
  EXPECT_FALSE(OthersMayHold(name_, &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_LOCK_VIOLATION), error);
  WReleaseHold(first);
  EXPECT_TRUE(OthersMayHold(name_));
}

// Its own hold keeps a thread out as much as another's: a second hold
// would wait for the first forever (a lock of the file), or be granted
// (a mutex, which its owner takes again).
TEST_F(FileEdit, AThreadThatHoldsAFileCannotHoldItAgain) {
  WEditHold* first = WHoldForEdit(name_.c_str(), true);
  ASSERT_NE(nullptr, first);
  for (bool wait : {false, true}) {
    SetLastError(ERROR_SUCCESS);
    WEditHold* second = WHoldForEdit(name_.c_str(), wait);
    EXPECT_EQ(nullptr, second) << "wait " << wait;
    EXPECT_EQ(static_cast<DWORD>(ERROR_LOCK_VIOLATION), GetLastError()) << "wait " << wait;
    WReleaseHold(second);
  }
  EXPECT_FALSE(OthersMayHold(name_));
  WReleaseHold(first);
  // Let go, the file is the thread's to hold again.
  WEditHold* again = WHoldForEdit(name_.c_str(), false);
  EXPECT_NE(nullptr, again);
  EXPECT_FALSE(OthersMayHold(name_));
  WReleaseHold(again);
  EXPECT_TRUE(OthersMayHold(name_));
}

TEST_F(FileEdit, AHeldFileIsStillReadWrittenAndSaved) {
  WEditHold* held = WHoldForEdit(name_.c_str(), true);
  ASSERT_NE(nullptr, held);
  EXPECT_EQ("old", ReadAll(name_));
  // By the name as given too: a relative one takes another way on Windows.
  for (const WString& saved : {name_, WString(OLESTR("zan-held.script"))}) {
    if (saved != name_) {
      FILE* file = nullptr;
      ASSERT_EQ(0, WFOpen(&file, saved.c_str(), OLESTR("wb")));
      std::fclose(file);
    }
    WEditHold* hold = saved == name_ ? nullptr : WHoldForEdit(saved.c_str(), true);
    WFileSave* save = WBeginSave(saved.c_str());
    ASSERT_NE(nullptr, save) << GetLastError();
    std::fputs("new", WSaveStream(save));
    EXPECT_TRUE(WCommitSave(save)) << GetLastError();
    EXPECT_EQ("new", ReadAll(saved));
    WReleaseHold(hold);
    if (saved != name_) WRemoveFile(saved.c_str());
  }
  // The save put a new file in the name's place, which the old hold does
  // not cover: the next editor holds it and reads what was saved.
  EXPECT_TRUE(OthersMayHold(name_));
  WReleaseHold(held);
}

TEST_F(FileEdit, OnlyAFileThatIsThereIsHeld) {
  EXPECT_EQ(nullptr, WHoldForEdit(folder_.WidePath("none").c_str(), false));
  EXPECT_EQ(nullptr, WHoldForEdit(folder_.WidePath(".").c_str(), false));
  EXPECT_EQ(nullptr, WHoldForEdit(nullptr, false));
  WReleaseHold(nullptr);
}

}  // namespace
