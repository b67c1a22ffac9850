// The module's services that no export reaches: the global interface
// table, the class-object table's life, and string-table reading from the
// library's own resources.
#include "framework/class_object_table.h"
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
  EXPECT_TRUE(FAILED(module.GetGlobalInterfaceTable(table.put())));
  EXPECT_EQ(nullptr, table.get());

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
