#include <string>
#include <vector>

#include "support/hresult.h"

namespace {

// Each test works under a key of its own in HKEY_CLASSES_ROOT, removed
// afterwards.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &root_, nullptr));
  }
  void TearDown() override {
    RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kRoot);
  }

  HKEY Create(const WCHAR* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root_, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition));
    return key;
  }

  static constexpr const WCHAR* kRoot = OLESTR("ZanScript.PlatformTest");
  HKEY root_ = nullptr;
};

}  // namespace

TEST_F(RegistryTest, MissingKeysAndCaseInsensitiveNames) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(root_, OLESTR("absent"), 0, KEY_READ, &key));
  DWORD disposition = 0;
  RegCloseKey(Create(OLESTR("Alpha\\Beta"), &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  RegCloseKey(Create(OLESTR("ALPHA\\beta"), &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root_, OLESTR("alpha\\BETA"), 0, KEY_READ, &key));
  RegCloseKey(key);
}

TEST_F(RegistryTest, StringAndDwordValues) {
  HKEY key = Create(OLESTR("Values"));
  const WCHAR text[] = OLESTR("Apartment");
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, OLESTR("ThreadingModel"), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(text), sizeof text));
  DWORD count = 3;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, OLESTR("RefCount"), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&count), sizeof count));
  DWORD type = 0, size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, OLESTR("threadingmodel"), nullptr, &type, nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(sizeof text, size);
  BYTE small[4];
  size = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, OLESTR("ThreadingModel"), nullptr, nullptr, small, &size));
  EXPECT_EQ(sizeof text, size);
  WCHAR back[16] = {};
  size = sizeof back;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, OLESTR("ThreadingModel"), nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(back), &size));
  EXPECT_EQ("Apartment", zantest::Narrow(back));

  DWORD read = 0;
  size = sizeof read;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, OLESTR("RefCount"), nullptr, &type, reinterpret_cast<BYTE*>(&read), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(3u, read);
  // A counter stored with the wrong type is still read back as bytes of that type.
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, OLESTR("RefCount"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
  size = sizeof read;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, OLESTR("RefCount"), nullptr, &type, reinterpret_cast<BYTE*>(&read), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, OLESTR("refcount")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key, OLESTR("RefCount")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, OLESTR("RefCount"), nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(key);
}

TEST_F(RegistryTest, DefaultValue) {
  HKEY key = Create(OLESTR("Default"));
  const WCHAR text[] = OLESTR("Script Class");
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, OLESTR(""), nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(sizeof text, size);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingAKeyWithSubkeysIsRefused) {
  RegCloseKey(Create(OLESTR("Parent\\Child")));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(root_, OLESTR("Parent")));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root_, OLESTR("Parent\\Child")));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root_, OLESTR("Parent")));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(root_, OLESTR("Parent")));
}

TEST_F(RegistryTest, EnumerationAndInfo) {
  for (const WCHAR* name : {OLESTR("beta"), OLESTR("Alpha"), OLESTR("gamma")}) RegCloseKey(Create(name));
  std::vector<std::string> names;
  WCHAR name[64];
  for (DWORD i = 0;; ++i) {
    DWORD length = 64;
    LSTATUS status = RegEnumKeyExW(root_, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(zantest::Narrow(name).size(), length);
    names.push_back(zantest::Narrow(name));
  }
  EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma"}), names);
  DWORD length = 3;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(root_, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  DWORD subkeys = 0, values = 7, maxName = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(root_, nullptr, nullptr, nullptr, &subkeys, &maxName, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(3u, subkeys);
  EXPECT_EQ(0u, values);
  EXPECT_EQ(5u, maxName);
}

TEST_F(RegistryTest, TreeDeletion) {
  RegCloseKey(Create(OLESTR("T\\a\\b")));
  RegCloseKey(Create(OLESTR("T\\c")));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(root_, OLESTR("T")));
  HKEY key;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(root_, OLESTR("T"), 0, KEY_READ, &key));
}

TEST(ProgIds, ScriptingDictionaryResolves) {
  CLSID clsid;
  ASSERT_HR(S_OK, CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &clsid));
  WCHAR text[40];
  StringFromGUID2(clsid, text, 40);
  EXPECT_EQ("{EE09B103-97E0-11CF-978F-00A02463E06F}", zantest::Narrow(text));
  EXPECT_HR(CO_E_CLASSSTRING, CLSIDFromProgID(OLESTR("ZanScript.No.Such.ProgID"), &clsid));
}

#if defined(ZAN_PLATFORM_POSIX)
TEST(ProgIds, HostCanRemoveAndRestoreThePlatformEntries) {
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, OLESTR("Scripting.Dictionary")));
  CLSID clsid;
  EXPECT_HR(CO_E_CLASSSTRING, CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &clsid));
  ZanRegistryReset();
  EXPECT_HR(S_OK, CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &clsid));
  std::string dump;
  ZanRegistryDump([](const char* line, void* ctx) { *static_cast<std::string*>(ctx) += std::string(line) + "\n"; },
                  &dump);
  EXPECT_NE(std::string::npos, dump.find("HKEY_CLASSES_ROOT\\Scripting.Dictionary\\CLSID [@] = REG_SZ "
                                         "\"{EE09B103-97E0-11CF-978F-00A02463E06F}\""))
      << dump;
}
#endif
