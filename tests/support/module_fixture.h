// Tests that reach the library's objects the way a host does, through
// DllGetClassObject and the class object. Every test must end with no live
// instance and no lock: the fixture checks DllCanUnloadNow afterwards.
#pragma once

#include "ZanScript_h.h"
#include "support/counting_object.h"
#include "support/hresult.h"
#include "support/library.h"

namespace zantest {

class ModuleTest : public testing::Test {
 protected:
#if defined(ZAN_PLATFORM_POSIX)
  // Checked once the whole fixture, its own strings included, is gone.
  ModuleTest() : liveBstrs_(ZanLiveBstrCount()), liveArrays_(ZanLiveSafeArrayCount()) {}
  ~ModuleTest() override {
    EXPECT_EQ(liveBstrs_, ZanLiveBstrCount()) << "a test left strings allocated";
    EXPECT_EQ(liveArrays_, ZanLiveSafeArrayCount()) << "a test left arrays allocated";
  }
#endif
  void TearDown() override { EXPECT_HR(S_OK, DllCanUnloadNowOfLibrary()) << "a test left an object or lock alive"; }

  // The class object of clsid.
  static zan::ComPtr<IClassFactory> Factory(REFCLSID clsid) {
    zan::ComPtr<IClassFactory> factory;
    EXPECT_HR(S_OK, DllGetClassObjectOfLibrary(clsid, IidOf<IClassFactory>(), factory.put_void()));
    return factory;
  }

  // A new stand-alone instance of clsid, asked for interface I.
  template <class I>
  static HRESULT Create(REFCLSID clsid, zan::ComPtr<I>* out) {
    zan::ComPtr<IClassFactory> factory = Factory(clsid);
    if (!factory) return E_FAIL;
    return factory->CreateInstance(nullptr, IidOf<I>(), out->put_void());
  }
#if defined(ZAN_PLATFORM_POSIX)
 private:
  LONG liveBstrs_;
  LONG liveArrays_;
#endif
};

// A VARIANT holding a number (VT_I4).
inline zan::UniqueVariant Long(LONG n) {
  zan::UniqueVariant v;
  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = n;
  return v;
}

// A VARIANT holding a copy of a string (VT_BSTR).
inline zan::UniqueVariant String(const WCHAR* s) { return zan::MakeVariantBstr(s); }

}  // namespace zantest
