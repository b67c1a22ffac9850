#include "script_fixture.h"

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
  IDispatch* line = nullptr;
  EXPECT_HR(E_FAIL, script_->get_Line(0, &line));
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
  EXPECT_EQ(1u, object.refs);
}

TEST_F(LineStoreTest, PutLineInsertsAndSharesTheObject) {
  Append(OLESTR("a\r\nb\r\nc"));
  CountingObject object;
  ASSERT_HR(S_OK, script_->put_Line(0, &object));
  EXPECT_EQ(2u, object.refs);
  EXPECT_EQ(4, Size());
  IDispatch* line = nullptr;
  ASSERT_HR(S_OK, script_->get_Line(0, &line));
  EXPECT_EQ(static_cast<IDispatch*>(&object), line);
  EXPECT_EQ(3u, object.refs);
  line->Release();
  EXPECT_EQ("a", Info(1));
  EXPECT_EQ("c", Info(3));
  ASSERT_HR(S_OK, script_->put_Line(4, &object));  // the end position appends
  EXPECT_EQ(5, Size());
  EXPECT_EQ(3u, object.refs);
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_EQ(1u, object.refs);
}

TEST_F(LineStoreTest, NullLinesAreStoredAndHandedOut) {
  ASSERT_HR(S_OK, script_->put_Line(0, nullptr));
  IDispatch* line = reinterpret_cast<IDispatch*>(1);
  EXPECT_HR(S_OK, script_->get_Line(0, &line));
  EXPECT_EQ(nullptr, line);
  EXPECT_EQ("<0x80004005>", Info(0));  // a null line has no information
}

TEST_F(LineStoreTest, SetLineReplacesOrAppends) {
  Append(OLESTR("a\nb"));
  CountingObject first, second;
  ASSERT_HR(S_OK, script_->SetLine(1, &first));
  EXPECT_EQ(2, Size());
  EXPECT_EQ(2u, first.refs);
  ASSERT_HR(S_OK, script_->SetLine(1, &second));
  EXPECT_EQ(1u, first.refs);  // the replaced line lost the script's reference
  ASSERT_HR(S_OK, script_->SetLine(2, &first));
  EXPECT_EQ(3, Size());
  EXPECT_TRUE(Dirty());
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_EQ(1u, first.refs);
  EXPECT_EQ(1u, second.refs);
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
  IUnknown* unknown = nullptr;
  ASSERT_HR(S_OK, script_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  for (const IID* iid : {&IID_IScript, &IID_IScript2, &IID_IScript3, &IID_IScript4}) {
    void* p = nullptr;
    ASSERT_HR(S_OK, script_->QueryInterface(*iid, &p));
    EXPECT_EQ(static_cast<void*>(unknown), p);
    static_cast<IUnknown*>(p)->Release();
  }
  unknown->Release();
  IPersistFile* file = nullptr;
  ASSERT_HR(S_OK, script_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  CLSID clsid;
  EXPECT_HR(S_OK, file->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualGUID(CLSID_Script, clsid));
  LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
  EXPECT_HR(E_FAIL, file->GetCurFile(&name));
  EXPECT_EQ(nullptr, name);
  file->Release();
  void* other = nullptr;
  EXPECT_HR(E_NOINTERFACE, script_->QueryInterface(Scripting::IID_IDictionary, &other));
}

TEST_F(LineStoreTest, AggregatedScriptAnswersThroughItsInnerUnknown) {
  IClassFactory* factory = nullptr;
  ASSERT_HR(S_OK, DllGetClassObjectOfLibrary(CLSID_Script, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  CountingObject outer;
  IUnknown* inner = nullptr;
  ASSERT_HR(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  factory->Release();
  IScript* script = nullptr;
  ASSERT_HR(S_OK, inner->QueryInterface(IID_IScript, reinterpret_cast<void**>(&script)));
  EXPECT_EQ(2u, outer.refs);
  EXPECT_HR(S_OK, script->AppendScriptLine(Text(OLESTR("line"))));
  script->Release();
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
    IScript* script = reinterpret_cast<IScript*>(1);
    EXPECT_HR(expected, Create(CLSID_Script, IID_IScript, &script));
    EXPECT_EQ(nullptr, script);
  }
  CLSID clsid;
  EXPECT_HR(S_OK, CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &clsid));
}
