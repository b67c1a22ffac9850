#include "support/module_fixture.h"

using zantest::Variant;

namespace {

class ClassObjectTest : public zantest::ModuleTest {
 protected:
  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_HR(S_OK, DllGetClassObjectOfLibrary(CLSID_ZanDictionary, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    return factory;
  }
};

// An outer object that counts its references, as an aggregating host does.
class Outer : public IUnknown {
 public:
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

}  // namespace

TEST_F(ClassObjectTest, SameClassObjectEveryTime) {
  IClassFactory* a = Factory();
  IUnknown* b = nullptr;
  ASSERT_HR(S_OK, DllGetClassObjectOfLibrary(CLSID_ZanDictionary, IID_IUnknown, reinterpret_cast<void**>(&b)));
  EXPECT_EQ(static_cast<IUnknown*>(a), b);
  a->Release();
  b->Release();
}

TEST_F(ClassObjectTest, UnknownClassAndMissingInterface) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObjectOfLibrary(IID_IDispatch, IID_IClassFactory, &out));
  EXPECT_EQ(nullptr, out);
  out = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, DllGetClassObjectOfLibrary(CLSID_ZanDictionary, IID_IDispatch, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_HR(E_POINTER, DllGetClassObjectOfLibrary(CLSID_ZanDictionary, IID_IClassFactory, nullptr));
}

TEST_F(ClassObjectTest, LockCountingOfInstancesClassObjectsAndLockServer) {
  EXPECT_HR(S_OK, DllCanUnloadNowOfLibrary());
  IClassFactory* factory = Factory();
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());  // a client holds the class object
  Scripting::IDictionary* dict = nullptr;
  ASSERT_HR(S_OK, factory->CreateInstance(nullptr, Scripting::IID_IDictionary, reinterpret_cast<void**>(&dict)));
  factory->Release();
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());  // a live instance
  dict->Release();
  EXPECT_HR(S_OK, DllCanUnloadNowOfLibrary());  // the cached class object alone holds no lock

  factory = Factory();
  EXPECT_HR(S_OK, factory->LockServer(TRUE));
  factory->Release();
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());
  factory = Factory();
  EXPECT_HR(S_OK, factory->LockServer(FALSE));
  factory->Release();
}

TEST_F(ClassObjectTest, CreateInstanceArguments) {
  IClassFactory* factory = Factory();
  Outer outer;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, Scripting::IID_IDictionary, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_HR(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
  out = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPersistFile, &out));
  EXPECT_EQ(nullptr, out);
  factory->Release();
  EXPECT_EQ(1u, outer.refs);
}

TEST_F(ClassObjectTest, AggregatedInnerUnknownOwnsItsLifetime) {
  IClassFactory* factory = Factory();
  Outer outer;
  IUnknown* inner = nullptr;
  ASSERT_HR(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  factory->Release();
  EXPECT_EQ(1u, outer.refs);  // the inner unknown does not hold the outer object

  Scripting::IDictionary* dict = nullptr;
  ASSERT_HR(S_OK, inner->QueryInterface(Scripting::IID_IDictionary, reinterpret_cast<void**>(&dict)));
  EXPECT_EQ(2u, outer.refs);  // interfaces count on the outer object
  Variant key, value;
  zantest::SetString(key, OLESTR("k"));
  EXPECT_HR(S_OK, dict->Add(key.get(), value.get()));
  IUnknown* viaInterface = nullptr;
  EXPECT_HR(E_NOINTERFACE, dict->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInterface)));
  dict->Release();
  EXPECT_EQ(1u, outer.refs);
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());
  EXPECT_EQ(0u, inner->Release());
}
