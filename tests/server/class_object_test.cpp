#include "support/module_fixture.h"

using zan::ComPtr;
using zan::UniqueVariant;

namespace {

class ClassObjectTest : public zantest::ModuleTest {
 protected:
  static ComPtr<IClassFactory> Factory() { return ModuleTest::Factory(CLSID_ZanDictionary); }
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
  ComPtr<IClassFactory> a = Factory();
  ComPtr<IUnknown> b;
  ASSERT_HR(S_OK, DllGetClassObjectOfLibrary(CLSID_ZanDictionary, IID_IUnknown, b.put_void()));
  EXPECT_EQ(static_cast<IUnknown*>(a.get()), b.get());
  EXPECT_REFS(a, 3);  // the cache's reference and the two here
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
  ComPtr<IClassFactory> factory = Factory();
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());  // a client holds the class object
  ComPtr<Scripting::IDictionary> dict;
  ASSERT_HR(S_OK, factory->CreateInstance(nullptr, Scripting::IID_IDictionary, dict.put_void()));
  factory.Reset();
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());  // a live instance
  dict.Reset();
  EXPECT_HR(S_OK, DllCanUnloadNowOfLibrary());  // the cached class object alone holds no lock

  EXPECT_HR(S_OK, Factory()->LockServer(TRUE));
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());
  EXPECT_HR(S_OK, Factory()->LockServer(FALSE));
}

TEST_F(ClassObjectTest, CreateInstanceArguments) {
  ComPtr<IClassFactory> factory = Factory();
  Outer outer;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, Scripting::IID_IDictionary, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_HR(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
  out = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPersistFile, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_REFS(&outer, 1);
}

TEST_F(ClassObjectTest, AggregatedInnerUnknownOwnsItsLifetime) {
  Outer outer;
  IUnknown* inner = nullptr;  // the aggregating object's own reference, released by hand below
  ASSERT_HR(S_OK, Factory()->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  EXPECT_REFS(&outer, 1);  // the inner unknown does not hold the outer object

  ComPtr<Scripting::IDictionary> dict;
  ASSERT_HR(S_OK, inner->QueryInterface(Scripting::IID_IDictionary, dict.put_void()));
  EXPECT_REFS(&outer, 2);  // interfaces count on the outer object
  UniqueVariant key = zantest::String(OLESTR("k")), value;
  EXPECT_HR(S_OK, dict->Add(key.get(), value.get()));
  IUnknown* viaInterface = nullptr;
  EXPECT_HR(E_NOINTERFACE, dict->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInterface)));
  dict.Reset();
  EXPECT_REFS(&outer, 1);
  EXPECT_HR(S_FALSE, DllCanUnloadNowOfLibrary());
  EXPECT_EQ(0u, inner->Release());
}
