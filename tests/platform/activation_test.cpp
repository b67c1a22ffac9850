#include <string>

#include "support/hresult.h"
#include "support/wine.h"

namespace {

const WCHAR kWidgetClsid[] = OLESTR("{6C1B7E52-3A0D-4F51-9C1E-2B7D5A0E9F11}");
const WCHAR kWidgetProgId[] = OLESTR("ZanScript.TestWidget");

WString Widen(const char* s) { return WString(s, s + std::char_traits<char>::length(s)); }

void SetDefault(const WString& path, const WString& value) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR))));
  RegCloseKey(key);
}

// Registers the test module's class the way an installer would.
class ActivationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HR(S_OK, CoInitialize(nullptr));
    SetDefault(WString(OLESTR("CLSID\\")) + kWidgetClsid + OLESTR("\\InprocServer32"), Widen(ZAN_TESTMODULE_PATH));
    SetDefault(WString(kWidgetProgId) + OLESTR("\\CLSID"), kWidgetClsid);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (WString(OLESTR("CLSID\\")) + kWidgetClsid).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kWidgetProgId);
    CoUninitialize();
  }
};

}  // namespace

TEST_F(ActivationTest, CreatesRegisteredObjectByProgId) {
  CLSID clsid;
  ASSERT_HR(S_OK, CLSIDFromProgID(kWidgetProgId, &clsid));
  zan::ComPtr<IPersist> widget;
  ASSERT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, widget.put_void()));
  CLSID reported = {};
  EXPECT_HR(S_OK, widget->GetClassID(&reported));
  EXPECT_TRUE(IsEqualGUID(clsid, reported));
  widget.Reset();

  zan::ComPtr<IClassFactory> factory;
  ASSERT_HR(S_OK, CoGetClassObject(clsid, CLSCTX_SERVER, nullptr, IID_IClassFactory, factory.put_void()));
  factory.Reset();
  CoFreeUnusedLibraries();
}

TEST_F(ActivationTest, UnregisteredClassAndMissingServer) {
  CLSID unknown;
  ASSERT_HR(S_OK, CLSIDFromString(OLESTR("{6C1B7E52-3A0D-4F51-9C1E-2B7D5A0E9F12}"), &unknown));
  IUnknown* object = reinterpret_cast<IUnknown*>(1);
  EXPECT_HR(REGDB_E_CLASSNOTREG, CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                  reinterpret_cast<void**>(&object)));
  EXPECT_EQ(nullptr, object);

  SetDefault(WString(OLESTR("CLSID\\{6C1B7E52-3A0D-4F51-9C1E-2B7D5A0E9F12}\\InprocServer32")),
             OLESTR("zan_no_such_module.dll"));
  HRESULT hr = CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object));
  RegDeleteTreeW(HKEY_CLASSES_ROOT, OLESTR("CLSID\\{6C1B7E52-3A0D-4F51-9C1E-2B7D5A0E9F12}"));
  // CoGetClassObject documents CO_E_DLLNOTFOUND for a server that cannot be
  // found; Wine 8 answers E_ACCESSDENIED.
  ZAN_TODO_WINE("a missing in-process server gives E_ACCESSDENIED") { EXPECT_HR(CO_E_DLLNOTFOUND, hr); }
}

TEST(Activation, RequiresCoInitialize) {
  CLSID clsid;
  ASSERT_HR(S_OK, CLSIDFromString(kWidgetClsid, &clsid));
  IUnknown* object = nullptr;
  EXPECT_HR(CO_E_NOTINITIALIZED, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                  reinterpret_cast<void**>(&object)));
}
