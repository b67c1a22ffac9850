#include <cstring>

#include "support/library.h"
#include "support/hresult.h"

TEST(LibraryResources, StringTableTypeLibraryAndRegistryScripts) {
  HMODULE module = zantest::TheLibrary().module;
  WCHAR text[64];
  ASSERT_GT(LoadStringW(module, 100, text, 64), 0);
  EXPECT_EQ("ZanScript", zantest::Narrow(text));
  ASSERT_GT(LoadStringW(module, 104, text, 64), 0);
  EXPECT_EQ("ScriptLoad Class", zantest::Narrow(text));
  EXPECT_EQ(0, LoadStringW(module, 101, text, 64));

  HRSRC typelib = FindResourceW(module, MAKEINTRESOURCEW(1), OLESTR("TYPELIB"));
  ASSERT_NE(nullptr, typelib);
  EXPECT_EQ(0, std::memcmp(LockResource(LoadResource(module, typelib)), "MSFT", 4));
  for (WORD id : {101, 102, 103, 105}) {
    SCOPED_TRACE(id);
    HRSRC script = FindResourceW(module, MAKEINTRESOURCEW(id), OLESTR("REGISTRY"));
    ASSERT_NE(nullptr, script);
    EXPECT_EQ(0, std::memcmp(LockResource(LoadResource(module, script)), "HKCR", 4));
  }
}
