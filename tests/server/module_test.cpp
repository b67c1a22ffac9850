// The module's services that no export reaches: the global interface
// table, the class-object table's life, making objects, and string-table
// reading from the library's own resources.
#include <string>

#include "framework/class_object_table.h"
#include "framework/com_object.h"
#include "framework/string_loader.h"
#include "framework/zan_module.h"
#include "support/counting_object.h"
#include "support/hresult.h"
#include "support/library.h"

using zan::ComPtr;
using zantest::Narrow;

TEST(ModuleGlobalInterfaceTable, MadeOnFirstUseKeptAndSharedNothingKeptOnFailure) {
  CZanScriptModule module;
  EXPECT_HR(E_POINTER, module.GetGlobalInterfaceTable(nullptr));
  // Without COM the table cannot be made; the failure is returned and a
  // later call tries again.
  ComPtr<IGlobalInterfaceTable> table;
#if defined(ZAN_PLATFORM_POSIX)
  // The failure says where the module met it, on the host's debug output.
  std::string seen;
  ZanSetDebugSink([](const char* text, void* ctx) { *static_cast<std::string*>(ctx) += text; }, &seen);
#endif
  HRESULT failed = module.GetGlobalInterfaceTable(table.put());
  EXPECT_TRUE(FAILED(failed));
  EXPECT_EQ(nullptr, table.get());
#if defined(ZAN_PLATFORM_POSIX)
  ZanSetDebugSink(nullptr, nullptr);
  EXPECT_NE(std::string::npos, seen.find("framework/zan_module.cpp(")) << seen;
  EXPECT_NE(std::string::npos, seen.find("): failed " + zantest::HrText(failed) + "\n")) << seen;
#endif

  ASSERT_HR(S_OK, CoInitialize(nullptr));
  {
    ASSERT_HR(S_OK, module.GetGlobalInterfaceTable(table.put()));
    ComPtr<IGlobalInterfaceTable> again;
    ASSERT_HR(S_OK, module.GetGlobalInterfaceTable(again.put()));
    EXPECT_EQ(table.get(), again.get());

    zantest::CountingObject object;
    DWORD cookie = 0;
    ASSERT_HR(S_OK, table->RegisterInterfaceInGlobal(&object, IID_IDispatch, &cookie));
    ComPtr<IDispatch> back;
    ASSERT_HR(S_OK, table->GetInterfaceFromGlobal(cookie, IID_IDispatch, back.put_void()));
    EXPECT_EQ(static_cast<IDispatch*>(&object), back.get());
    back.Reset();
    ASSERT_HR(S_OK, table->RevokeInterfaceFromGlobal(cookie));
    EXPECT_EQ(1u, object.refs);
    table.Reset();
    module.Term();
    module.Term();  // a second termination does nothing
  }
  CoUninitialize();
}

TEST(ModuleClassObjectTable, ServesOnlyBetweenInitAndTerm) {
  ObjectMapEntry map[] = {{&IID_IDispatch, nullptr, 0}};
  CClassObjectTable table(map);
  void* out = nullptr;
  EXPECT_HR(E_UNEXPECTED, table.GetClassObject(IID_IDispatch, IID_IUnknown, &out));
  ASSERT_TRUE(table.Init());
  // An entry without a creator serves nothing.
  EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, table.GetClassObject(IID_IDispatch, IID_IUnknown, &out));
  table.Term();
  EXPECT_HR(E_UNEXPECTED, table.GetClassObject(IID_IDispatch, IID_IUnknown, &out));
}

TEST(ModuleClassObjectTable, EachTableAnswersForItself) {
  ObjectMapEntry first[] = {{&IID_IDispatch, nullptr, 0}};
  ObjectMapEntry second[] = {{&IID_IDispatch, nullptr, 0}};
  CClassObjectTable a(first), b(second);
  void* out = nullptr;
  ASSERT_TRUE(a.Init());
  EXPECT_HR(E_UNEXPECTED, b.GetClassObject(IID_IDispatch, IID_IUnknown, &out));  // not made usable yet
  ASSERT_TRUE(b.Init());
  a.Term();
  EXPECT_HR(E_UNEXPECTED, a.GetClassObject(IID_IDispatch, IID_IUnknown, &out));
  EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, b.GetClassObject(IID_IDispatch, IID_IUnknown, &out));
  b.Term();
}

namespace {

// An object of the framework's, counting how many are alive; its
// construction hook answers what it is told.
class Widget : public CComObjectRootEx<Widget>, public IPersist {
 public:
  using Interfaces = zan::InterfaceList<IPersist>;
  static inline int alive = 0;
  explicit Widget(HRESULT construct = S_OK, CLSID id = CLSID_NULL) : construct_(construct), id_(id) { ++alive; }
  ~Widget() override { --alive; }
  HRESULT FinalConstruct() {
    // The hook runs while the new object holds a reference of its own.
    EXPECT_EQ(1u, zantest::RefCount(static_cast<IPersist*>(this)));
    return construct_;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) noexcept override {
    *id = id_;
    return S_OK;
  }

 private:
  HRESULT construct_;
  CLSID id_;
};

}  // namespace

TEST(MakeObject, HandsOutTheFirstInterfaceWithOneReferenceAndTheModuleLocked) {
  const LONG locks = ZanModule().GetLockCount();
  {
    ComPtr<IPersist> made = zan::make<Widget>(S_OK, IID_IDispatch);
    EXPECT_REFS(made, 1);
    EXPECT_EQ(1, Widget::alive);
    EXPECT_EQ(locks + 1, ZanModule().GetLockCount());
    CLSID id = CLSID_NULL;
    ASSERT_HR(S_OK, made->GetClassID(&id));
    EXPECT_TRUE(IsEqualGUID(IID_IDispatch, id));  // the arguments reached the constructor

    auto self = zan::make_self<Widget>();
    ComPtr<IUnknown> unknown;
    ASSERT_HR(S_OK, self.As(&unknown));
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IPersist*>(self.get())), unknown.get());
  }
  EXPECT_EQ(0, Widget::alive);
  EXPECT_EQ(locks, ZanModule().GetLockCount());
}

TEST(MakeObject, AFailedConstructionHookRaisesItsResultAndDestroysTheObject) {
  const LONG locks = ZanModule().GetLockCount();
  HRESULT raised = S_OK;
  try {
    zan::make<Widget>(E_ACCESSDENIED);
  } catch (const zan::HResultError& e) {
    raised = e.hr();
  }
  EXPECT_HR(E_ACCESSDENIED, raised);
  EXPECT_EQ(0, Widget::alive);
  EXPECT_EQ(locks, ZanModule().GetLockCount());

  // The instance creator of a class object hands out nothing when the
  // query fails; aggregated, its inner unknown owns the object.
  void* out = reinterpret_cast<void*>(1);
  zantest::CountingObject outer;
  EXPECT_HR(E_NOINTERFACE, zan::CreateInstance<Widget>(nullptr, IID_IDispatch, &out));
  EXPECT_EQ(nullptr, out);
  ASSERT_HR(S_OK, zan::CreateInstance<Widget>(&outer, IID_IUnknown, &out));
  EXPECT_EQ(1, Widget::alive);
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(0, Widget::alive);
  EXPECT_EQ(1u, outer.refs);
  EXPECT_EQ(locks, ZanModule().GetLockCount());
}

TEST(StringLoader, ReadsTheLibrarysStringTableInOneLanguageOnly) {
  HINSTANCE library = zantest::TheLibrary().module;
  CStringLoader name(100, 0x0409, library);
  EXPECT_EQ("ZanScript", Narrow(name.Text()));
  CStringLoader description(104, 0x0409, library);
  EXPECT_EQ("ScriptLoad Class", Narrow(description.Text()));

  CStringLoader loader;
  EXPECT_EQ("", Narrow(loader.Text()));
  EXPECT_FALSE(loader.LoadFromBlock(101, 0x0409, library));  // a script id, not a string
  EXPECT_EQ("", Narrow(loader.Text()));
  EXPECT_FALSE(loader.LoadFromBlock(100, 0x0407, library));  // no fallback to another language
  EXPECT_FALSE(loader.LoadFromBlock(5000, 0x0409, library));

  EXPECT_TRUE(loader.LoadFromTable(104, library));
  EXPECT_EQ("ScriptLoad Class", Narrow(loader.Text()));
  EXPECT_FALSE(loader.LoadFromTable(102, library));
  EXPECT_EQ("", Narrow(loader.Text()));
  loader.SetText(OLESTR("set"));
  EXPECT_EQ("set", Narrow(loader.Text()));
  loader.SetText(nullptr);
  EXPECT_EQ("", Narrow(loader.Text()));
}
