#include <cstring>
#include <string>

#include "support/hresult.h"
#include "support/wine.h"

namespace {

WString Widen(const char* s) { return WString(s, s + std::char_traits<char>::length(s)); }

class ResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(Widen(ZAN_TESTMODULE_PATH).c_str());
    ASSERT_NE(nullptr, module_) << GetLastError();
  }
  void TearDown() override { FreeLibrary(module_); }

  std::string String(UINT id) {
    WCHAR buffer[64];
    int n = LoadStringW(module_, id, buffer, 64);
    return n > 0 ? zantest::Narrow(buffer) : "<none>";
  }

  HMODULE module_ = nullptr;
};

}  // namespace

TEST_F(ResourcesTest, StringTableBlocks) {
  EXPECT_EQ("ZanTest", String(100));
  EXPECT_EQ("Quote \" and more", String(101));
  EXPECT_EQ("Block two", String(17));
  EXPECT_EQ("<none>", String(102));
  EXPECT_EQ("<none>", String(4000));
  WCHAR small[4];
  EXPECT_EQ(3, LoadStringW(module_, 100, small, 4));
  EXPECT_EQ("Zan", zantest::Narrow(small));
  const WCHAR* direct = nullptr;
  EXPECT_EQ(7, LoadStringW(module_, 100, reinterpret_cast<LPWSTR>(&direct), 0));
  EXPECT_EQ(0, std::memcmp(direct, OLESTR("ZanTest"), 7 * sizeof(WCHAR)));
}

TEST_F(ResourcesTest, StringBlockByLanguage) {
  HRSRC block = FindResourceExW(module_, RT_STRING, MAKEINTRESOURCEW(100 / 16 + 1), 0x0409);
  ASSERT_NE(nullptr, block);
  const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(module_, block)));
  ASSERT_NE(nullptr, p);
  EXPECT_EQ((16u + 7u + 16u) * sizeof(WCHAR), SizeofResource(module_, block));  // counts, then texts
  EXPECT_EQ(nullptr, FindResourceExW(module_, RT_STRING, MAKEINTRESOURCEW(100 / 16 + 1), 0x0407));
}

TEST_F(ResourcesTest, FileResourcesByNumberAndName) {
  HRSRC payload = FindResourceW(module_, MAKEINTRESOURCEW(7), RT_RCDATA);
  ASSERT_NE(nullptr, payload);
  ASSERT_EQ(13u, SizeofResource(module_, payload));
  EXPECT_EQ(0, std::memcmp(LockResource(LoadResource(module_, payload)), "payload\0bytes", 13));
  HRSRC script = FindResourceW(module_, OLESTR("sample"), OLESTR("REGISTRY"));
  ASSERT_NE(nullptr, script);
  EXPECT_EQ(0, std::memcmp(LockResource(LoadResource(module_, script)), "HKCR", 4));
  EXPECT_EQ(nullptr, FindResourceW(module_, MAKEINTRESOURCEW(8), RT_RCDATA));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, FindResourceW(module_, MAKEINTRESOURCEW(7), OLESTR("TYPELIB")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
}

TEST_F(ResourcesTest, DataFileLoadFindsResources) {
  HMODULE data = LoadLibraryExW(Widen(ZAN_TESTMODULE_PATH).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, data);
  HRSRC script = FindResourceW(data, OLESTR("SAMPLE"), OLESTR("REGISTRY"));
  ASSERT_NE(nullptr, script);
  EXPECT_EQ(9u, SizeofResource(data, script));
  FreeLibrary(data);
}

TEST_F(ResourcesTest, ModuleNameEntryPointAndAttach) {
  WCHAR path[MAX_PATH];
  DWORD n = GetModuleFileNameW(module_, path, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::string name = zantest::Narrow(path);
  std::string file = ZAN_TESTMODULE_PATH;
  file = file.substr(file.find_last_of("/\\") + 1);
  EXPECT_EQ(file, name.substr(name.size() - file.size())) << name;
  WCHAR tiny[4];
  EXPECT_EQ(4u, GetModuleFileNameW(module_, tiny, 4));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  // Windows since Vista terminates the cut name; Wine 8 keeps the older
  // behaviour and leaves it unterminated.
  ZAN_TODO_WINE("GetModuleFileNameW leaves a cut name unterminated") { EXPECT_EQ(0, tiny[3]); }

  using CountFn = LONG(STDAPICALLTYPE*)();
  auto count = reinterpret_cast<CountFn>(reinterpret_cast<void (*)()>(GetProcAddress(module_, "TestModuleAttachCount")));
  ASSERT_NE(nullptr, count);
  EXPECT_EQ(1, count());  // DllMain saw the process attach once
  EXPECT_EQ(nullptr, GetProcAddress(module_, "NoSuchExport"));
  EXPECT_EQ(module_, GetModuleHandleW(Widen(ZAN_TESTMODULE_PATH).c_str()));
}
