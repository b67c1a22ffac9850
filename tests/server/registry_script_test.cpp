// The registry-script interpreter, the registration counter and the base
// name rule on their own, against the platform's registry, and type
// libraries that are damaged.
#include <string>
#include <vector>

#include "framework/registration.h"
#include "framework/registry_script.h"
#include "support/hresult.h"
#include "support/registry.h"
#include "support/temp_folder.h"

using zantest::Narrow;
using zantest::RegistryString;

namespace {

const WCHAR kRoot[] = OLESTR("ZanScriptTest.Registrar");


class RegistryScriptTest : public testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, kRoot); RegDeleteKeyW(HKEY_CLASSES_ROOT, kRoot); }

  HRESULT Run(const char* script, bool doRegister) { return registrar_.Run(zantest::Wide(script), doRegister); }

  CRegistryScript registrar_;
};

}  // namespace

TEST_F(RegistryScriptTest, RegistersAndUnregistersKeysValuesAndReplacements) {
  registrar_.AddReplacement(OLESTR("NAME"), OLESTR("it's"));
  registrar_.AddReplacement(OLESTR("NAME"), OLESTR("second"));  // the first one added wins
  const char* script =
      "HKCR { ZanScriptTest.Registrar = s 'root' { NoRemove Kept { 'Quoted %NAME%' = s 'a ''b'' 100%%' "
      "{ val Named = s '%NAME%' } } Plain } }";
  ASSERT_HR(S_OK, Run(script, true));
  EXPECT_EQ("root", RegistryString("ZanScriptTest.Registrar"));
  EXPECT_EQ("a 'b' 100%", RegistryString("ZanScriptTest.Registrar\\Kept\\Quoted it's"));
  EXPECT_EQ("it's", RegistryString("ZanScriptTest.Registrar\\Kept\\Quoted it's", OLESTR("Named")));
  EXPECT_EQ("(no value)", RegistryString("ZanScriptTest.Registrar\\Plain"));

  // A key someone else added beneath one of ours keeps ours alive.
  HKEY extra = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, OLESTR("ZanScriptTest.Registrar\\Plain\\Other"), 0,
                                           nullptr, 0, KEY_ALL_ACCESS, nullptr, &extra, nullptr));
  RegCloseKey(extra);
  ASSERT_HR(S_OK, Run(script, false));
  EXPECT_EQ("(no key)", RegistryString("ZanScriptTest.Registrar\\Kept\\Quoted it's"));
  EXPECT_EQ("(no value)", RegistryString("ZanScriptTest.Registrar\\Kept"));  // NoRemove
  EXPECT_NE("(no key)", RegistryString("ZanScriptTest.Registrar\\Plain\\Other"));
  EXPECT_NE("(no key)", RegistryString("ZanScriptTest.Registrar"));
  // Unregistering what is not there is no error.
  EXPECT_HR(S_OK, Run("HKCR { ZanScriptTest.Missing { val X = s 'y' Deeper } }", false));
}

TEST_F(RegistryScriptTest, ForceRemoveStartsTheKeyAfresh) {
  ASSERT_HR(S_OK, Run("HKCR { ZanScriptTest.Registrar { Programmable { Old = s 'x' } } }", true));
  ASSERT_HR(S_OK, Run("HKCR { ZanScriptTest.Registrar { ForceRemove Programmable } }", true));
  EXPECT_NE("(no key)", RegistryString("ZanScriptTest.Registrar\\Programmable"));
  EXPECT_EQ("(no key)", RegistryString("ZanScriptTest.Registrar\\Programmable\\Old"));
}

TEST_F(RegistryScriptTest, AScriptThatDoesNotParseChangesNothing) {
  for (const char* bad : {"HKLM { ZanScriptTest.Registrar }", "HKCR { ZanScriptTest.Registrar = s 'open",
                          "HKCR { ZanScriptTest.Registrar = 'no type' }", "HKCR { ZanScriptTest.Registrar {",
                          "HKCR { val Orphan = s 'x' }", "HKCR { ZanScriptTest.Registrar = s '%UNKNOWN%' }",
                          "HKCR { ZanScriptTest.Registrar { Kept } = s 'x' }"}) {
    SCOPED_TRACE(bad);
    EXPECT_HR(DISP_E_EXCEPTION, Run(bad, true));
    EXPECT_EQ("(no key)", RegistryString("ZanScriptTest.Registrar"));
  }
}

TEST_F(RegistryScriptTest, RefCountCountsUpAndDownAndVanishesAtZero) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_CLASSES_ROOT, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  EXPECT_EQ(0u, AdjustRefCount(key, false));  // nothing to lower
  EXPECT_EQ(1u, AdjustRefCount(key, true));
  EXPECT_EQ(2u, AdjustRefCount(key, true));
  EXPECT_EQ(1u, AdjustRefCount(key, false));
  EXPECT_EQ(0u, AdjustRefCount(key, false));
  EXPECT_EQ("(no value)", RegistryString("ZanScriptTest.Registrar", OLESTR("RefCount")));
  const BYTE eight[8] = {5};
  RegSetValueExW(key, OLESTR("RefCount"), 0, REG_BINARY, eight, sizeof eight);
  EXPECT_EQ(1u, AdjustRefCount(key, true));  // not a DWORD: counts as 0
  RegCloseKey(key);
  EXPECT_EQ(nullptr, OpenClassSubkey(IID_IUnknown, nullptr));
  EXPECT_EQ(nullptr, OpenClassSubkey(IID_IUnknown, OLESTR("NotThere")));
}

TEST(ModuleBaseName, CutsAfterTheLastSeparatorUnlessItLeadsTheName) {
  struct Case {
    const WCHAR* path;
    const char* base;
  };
  for (const Case& c : {Case{OLESTR("C:\\Program Files\\Zan\\ZanScript.dll"), "ZanScript.dll"},
                        {OLESTR("/usr/lib/libZanScript.so"), "libZanScript.so"},
                        {OLESTR("ZanScript.dll"), "ZanScript.dll"},
                        {OLESTR("\\ZanScript.dll"), "\\ZanScript.dll"},  // the only separator leads: kept whole
                        {OLESTR("dir\\"), ""},
                        {OLESTR(""), ""}}) {
    EXPECT_EQ(c.base, Narrow(BaseNameOf(c.path).c_str())) << Narrow(c.path);
  }
}

TEST(ModuleBaseName, IsTheFileNameOfTheModule) {
  WCHAR path[MAX_PATH];
  DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::string full = Narrow(path, n);
  EXPECT_EQ(full.substr(full.find_last_of("\\/") + 1), Narrow(GetModuleBaseName(ThisModule()).c_str()));
}

#if defined(ZAN_PLATFORM_POSIX)
// Our reader of library files; the platform's own is not ours to harden.
TEST(DamagedTypeLibrary, LoadsWholeOrNotAtAll) {
  zantest::TempFolder folder;
  std::string good = folder.Read(ZAN_TYPELIB_PATH);
  ASSERT_GT(good.size(), 300u);
  WString file = folder.WidePath("damaged.tlb");
  auto load = [&](const std::string& bytes) {
    folder.Write("damaged.tlb", bytes);
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(file.c_str(), REGKIND_NONE, &lib);
    if (SUCCEEDED(hr)) lib->Release();
    return hr;
  };
  ASSERT_HR(S_OK, load(good));
  for (size_t cut : {size_t(0), size_t(3), size_t(84), size_t(300), good.size() / 2, good.size() - 1})
    EXPECT_HR(TYPE_E_CANTLOADLIBRARY, load(good.substr(0, cut))) << cut;
  // Every byte of the header, the directory and the first type records
  // flipped in turn: either answer will do, surviving is the test.
  for (size_t at = 4; at < 0x300; ++at) {
    std::string flipped = good;
    flipped[at] = static_cast<char>(flipped[at] ^ 0xA5);
    load(flipped);
  }
}
#endif
