#include "script_fixture.h"

using zan::ComPtr;
using zantest::CountingObject;
using zantest::Lines;

namespace {
class LineStoreTest : public zantest::ScriptTest {};
}  // namespace

TEST_F(LineStoreTest, NewScriptIsEmptyAndClean) {
  EXPECT_EQ(0, Size());
  LONG empty = 0;
  EXPECT_HR(S_OK, script_->get_IsEmpty(&empty));
  EXPECT_EQ(1, empty);
  EXPECT_HR(E_POINTER, script_->get_IsEmpty(nullptr));
  EXPECT_HR(E_FAIL, script_->get_Size(nullptr));
  ComPtr<IDispatch> line;
  EXPECT_HR(E_FAIL, script_->get_Line(0, line.put()));
  EXPECT_HR(E_FAIL, script_->RemoveLine(0));
  EXPECT_FALSE(Dirty());
  LONG encoding = 0;
  EXPECT_HR(S_OK, script_->get_SaveEncoding(&encoding));
  EXPECT_EQ(2, encoding);
}

TEST_F(LineStoreTest, PositionChecksComeInOrder) {
  Append(OLESTR("a"));
  EXPECT_HR(E_FAIL, script_->get_Line(-1, nullptr));
  EXPECT_HR(E_FAIL, script_->get_Line(1, nullptr));  // the end position names no line
  EXPECT_HR(E_POINTER, script_->get_Line(0, nullptr));
  CountingObject object;
  EXPECT_HR(E_FAIL, script_->put_Line(-1, &object));
  EXPECT_HR(E_FAIL, script_->put_Line(2, &object));
  EXPECT_HR(E_POINTER, script_->SetLine(99, nullptr));  // the null line is checked first
  EXPECT_HR(E_FAIL, script_->SetLine(2, &object));
  EXPECT_REFS(&object, 1);
}

// A refused edit leaves the dirty flag as it was, clean or set.
TEST_F(LineStoreTest, RefusedEditsLeaveTheDirtyFlag) {
  Append(OLESTR("a"));
  CountingObject object;
  for (LONG dirty : {0, 1}) {
    SCOPED_TRACE(dirty);
    ASSERT_HR(S_OK, script_->SetDirty(dirty));
    EXPECT_HR(E_FAIL, script_->put_Line(2, &object));
    EXPECT_HR(E_FAIL, script_->SetLine(-1, &object));
    EXPECT_HR(E_POINTER, script_->SetLine(0, nullptr));
    EXPECT_HR(E_FAIL, script_->InsertScriptLine(2, Text(OLESTR("z"))));
    EXPECT_HR(E_FAIL, script_->RemoveLine(1));
    EXPECT_EQ(dirty != 0, Dirty());
  }
  EXPECT_EQ(1, Size());
  EXPECT_REFS(&object, 1);
}

TEST_F(LineStoreTest, PutLineInsertsAndSharesTheObject) {
  Append(OLESTR("a\r\nb\r\nc"));
  CountingObject object;
  ASSERT_HR(S_OK, script_->put_Line(0, &object));
  EXPECT_REFS(&object, 2);
  EXPECT_EQ(4, Size());
  ComPtr<IDispatch> line;
  ASSERT_HR(S_OK, script_->get_Line(0, line.put()));
  EXPECT_EQ(static_cast<IDispatch*>(&object), line.get());
  EXPECT_REFS(&object, 3);
  line.Reset();
  EXPECT_EQ("a", Info(1));
  EXPECT_EQ("c", Info(3));
  ASSERT_HR(S_OK, script_->put_Line(4, &object));  // the end position appends
  EXPECT_EQ(5, Size());
  EXPECT_REFS(&object, 3);
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&object, 1);
}

TEST_F(LineStoreTest, EditsOfTheStoreSetTheDirtyFlag) {
  CountingObject object;
  struct Edit {
    const char* name;
    HRESULT (*run)(IScript4*, IDispatch*);
  };
  const Edit edits[] = {
      {"put_Line", [](IScript4* s, IDispatch* o) { return s->put_Line(0, o); }},
      {"put_Line at the end", [](IScript4* s, IDispatch* o) { return s->put_Line(1, o); }},
      {"SetLine", [](IScript4* s, IDispatch* o) { return s->SetLine(0, o); }},
      {"RemoveLine", [](IScript4* s, IDispatch*) { return s->RemoveLine(0); }},
      {"Resize", [](IScript4* s, IDispatch*) { return s->Resize(3); }},
  };
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.name);
    ASSERT_HR(S_OK, script_->Empty());
    Append(OLESTR("a"));
    ASSERT_HR(S_OK, script_->SetNoDirty());
    ASSERT_HR(S_OK, edit.run(script_.get(), &object));
    EXPECT_TRUE(Dirty());
  }
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&object, 1);
}

TEST_F(LineStoreTest, LineThatCallsBackWhileTheScriptDies) {
  zantest::CallbackObject line;
  LONG sizeSeen = -1;
  Append(OLESTR("a\nb"));
  ASSERT_HR(S_OK, script_->put_Line(1, &line));
  line.onRelease = [dying = script_.get(), &sizeSeen] {
    dying->AddRef();
    dying->get_Size(&sizeSeen);
    dying->Release();
  };
  script_.Reset();  // the last reference: the line's callback must be harmless
  EXPECT_FALSE(line.onRelease);
  EXPECT_EQ(1, sizeSeen);  // lines go from the end, so line 0 is still there
  EXPECT_REFS(&line, 1);
}

TEST_F(LineStoreTest, NullLinesAreStoredAndHandedOut) {
  ASSERT_HR(S_OK, script_->put_Line(0, nullptr));
  IDispatch* line = reinterpret_cast<IDispatch*>(1);  // poisoned: the call must write it
  EXPECT_HR(S_OK, script_->get_Line(0, &line));
  EXPECT_EQ(nullptr, line);
  EXPECT_EQ("<0x80004005>", Info(0));  // a null line has no information
}

TEST_F(LineStoreTest, SetLineReplacesOrAppends) {
  Append(OLESTR("a\nb"));
  CountingObject first, second;
  ASSERT_HR(S_OK, script_->SetLine(1, &first));
  EXPECT_EQ(2, Size());
  EXPECT_REFS(&first, 2);
  ASSERT_HR(S_OK, script_->SetLine(1, &second));
  EXPECT_REFS(&first, 1);  // the replaced line lost the script's reference
  ASSERT_HR(S_OK, script_->SetLine(2, &first));
  EXPECT_EQ(3, Size());
  EXPECT_TRUE(Dirty());
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&first, 1);
  EXPECT_REFS(&second, 1);
}

TEST_F(LineStoreTest, RemoveLine) {
  Append(OLESTR("a\nb\nc"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  EXPECT_HR(E_FAIL, script_->RemoveLine(3));
  EXPECT_FALSE(Dirty());
  ASSERT_HR(S_OK, script_->RemoveLine(1));
  EXPECT_EQ((Lines{"a", "c"}), Texts());
  EXPECT_TRUE(Dirty());
}

TEST_F(LineStoreTest, AppendSplitsAtLineBreakRuns) {
  Append(OLESTR("a\r\nb\nc"));
  EXPECT_EQ((Lines{"a", "b", "c"}), Texts());
  EXPECT_TRUE(Dirty());
  Append(OLESTR("\r\n"));  // only delimiters: nothing
  EXPECT_EQ(3, Size());
  Append(OLESTR("\r\nx\r\n\r\ny\r"));
  EXPECT_EQ((Lines{"a", "b", "c", "x", "y"}), Texts());
  Append(OLESTR("p\rq"));  // a lone CR also breaks
  EXPECT_EQ("p", Info(5));
  EXPECT_EQ("q", Info(6));
}

TEST_F(LineStoreTest, AppendOfEmptyTextAddsOneEmptyLine) {
  ASSERT_HR(S_OK, script_->AppendScriptLine(nullptr));
  ASSERT_HR(S_OK, script_->AppendScriptLine(Text(OLESTR(""))));
  EXPECT_EQ((Lines{"", ""}), Texts());
}

TEST_F(LineStoreTest, TextIsMeasuredToItsFirstNul) {
  ASSERT_HR(S_OK, script_->AppendScriptLine(Text(OLESTR("ab\0cd"), 5)));
  EXPECT_EQ((Lines{"ab"}), Texts());
  ASSERT_HR(S_OK, script_->InsertScriptLine(0, Text(OLESTR("\0x"), 2)));
  EXPECT_EQ((Lines{"", "ab"}), Texts());
}

TEST_F(LineStoreTest, InsertScriptLineKeepsTheDirtyFlag) {
  ASSERT_HR(S_OK, script_->InsertScriptLine(0, Text(OLESTR("A\nB\nC"))));
  EXPECT_FALSE(Dirty());
  ASSERT_HR(S_OK, script_->InsertScriptLine(1, Text(OLESTR("x\r\ny"))));
  EXPECT_EQ((Lines{"A", "x", "y", "B", "C"}), Texts());
  EXPECT_HR(E_FAIL, script_->InsertScriptLine(6, Text(OLESTR("z"))));
  EXPECT_HR(E_FAIL, script_->InsertScriptLine(-1, Text(OLESTR("z"))));
  EXPECT_HR(S_OK, script_->InsertScriptLine(5, Text(OLESTR("\r\n"))));
  EXPECT_EQ(5, Size());
  EXPECT_FALSE(Dirty());
}

TEST_F(LineStoreTest, ResizeShrinksGrowsAndEmpties) {
  Append(OLESTR("0\n1\n2\n3\n4"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  ASSERT_HR(S_OK, script_->Resize(5));
  EXPECT_FALSE(Dirty());
  ASSERT_HR(S_OK, script_->Resize(2));
  EXPECT_EQ((Lines{"0", "1"}), Texts());
  EXPECT_TRUE(Dirty());
  ASSERT_HR(S_OK, script_->Resize(5));
  EXPECT_EQ((Lines{"0", "1", "", "", ""}), Texts());
  ASSERT_HR(S_OK, script_->Resize(-3));
  EXPECT_EQ(0, Size());
  ASSERT_HR(S_OK, script_->SetNoDirty());
  ASSERT_HR(S_OK, script_->Resize(-1));  // a different size, though the script stays empty
  EXPECT_TRUE(Dirty());
}

TEST_F(LineStoreTest, ResizeBeyondMemoryFailsAndChangesNothing) {
  Append(OLESTR("keep"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  EXPECT_HR(E_OUTOFMEMORY, script_->Resize(0x7FFFFFFF));
  EXPECT_EQ((Lines{"keep"}), Texts());
  EXPECT_FALSE(Dirty());
}

TEST_F(LineStoreTest, EmptyKeepsTheDirtyFlag) {
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_FALSE(Dirty());
  ASSERT_HR(S_OK, script_->SetDirty(0));
  EXPECT_FALSE(Dirty());
  ASSERT_HR(S_OK, script_->SetDirty(1));
  EXPECT_TRUE(Dirty());
}

TEST_F(LineStoreTest, InterfacesShareOneIdentity) {
  ComPtr<IUnknown> unknown;
  ASSERT_HR(S_OK, script_.As(IID_IUnknown, &unknown));
  for (const IID* iid : {&IID_IScript, &IID_IScript2, &IID_IScript3, &IID_IScript4}) {
    ComPtr<IUnknown> revision;
    ASSERT_HR(S_OK, script_.As(*iid, &revision));
    EXPECT_EQ(unknown.get(), revision.get());
  }
  ComPtr<IPersistFile> file;
  ASSERT_HR(S_OK, script_.As(IID_IPersistFile, &file));
  CLSID clsid;
  EXPECT_HR(S_OK, file->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualGUID(CLSID_Script, clsid));
  LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
  EXPECT_HR(E_FAIL, file->GetCurFile(&name));
  EXPECT_EQ(nullptr, name);
  EXPECT_REFS(script_, 3);
  void* other = nullptr;
  EXPECT_HR(E_NOINTERFACE, script_->QueryInterface(Scripting::IID_IDictionary, &other));
}

TEST_F(LineStoreTest, AggregatedScriptAnswersThroughItsInnerUnknown) {
  ComPtr<IClassFactory> factory = Factory(CLSID_Script);
  CountingObject outer;
  IUnknown* inner = nullptr;  // the aggregating object's own reference, released by hand below
  ASSERT_HR(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  factory.Reset();
  ComPtr<IScript> script;
  ASSERT_HR(S_OK, inner->QueryInterface(IID_IScript, script.put_void()));
  EXPECT_REFS(&outer, 2);
  EXPECT_HR(S_OK, script->AppendScriptLine(Text(OLESTR("line"))));
  script.Reset();
  EXPECT_EQ(0u, inner->Release());
}

namespace {

// Restores the platform dictionary's ProgID after a test removed it.
class DictionaryProgIdRemoved {
 public:
  DictionaryProgIdRemoved() {
    removed_ = RegDeleteTreeW(HKEY_CLASSES_ROOT, OLESTR("Scripting.Dictionary\\CLSID")) == ERROR_SUCCESS;
  }
  ~DictionaryProgIdRemoved() {
    if (!removed_) return;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, OLESTR("Scripting.Dictionary\\CLSID"), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      const WCHAR clsid[] = OLESTR("{EE09B103-97E0-11CF-978F-00A02463E06F}");
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid);
      RegCloseKey(key);
    }
  }
  bool removed() const { return removed_; }

 private:
  bool removed_;
};

}  // namespace

TEST_F(LineStoreTest, CreationFailsWithoutThePlatformDictionary) {
  HRESULT expected;
  {
    CLSID clsid;
    DictionaryProgIdRemoved gone;
    if (!gone.removed()) GTEST_SKIP() << "this registry does not let the test remove Scripting.Dictionary";
    expected = CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &clsid);
    ASSERT_TRUE(FAILED(expected));
    ComPtr<IScript> script;
    EXPECT_HR(expected, Create(CLSID_Script, &script));
    EXPECT_FALSE(script);
  }
  CLSID clsid;
  EXPECT_HR(S_OK, CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &clsid));
}
