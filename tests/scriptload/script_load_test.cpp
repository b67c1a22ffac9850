#include <string>

#include "support/module_fixture.h"
#include "support/temp_folder.h"

using zan::ComPtr;
using zan::UniqueBstr;

namespace {

class ScriptLoadTest : public zantest::ModuleTest {
 protected:
  void SetUp() override {
    ASSERT_HR(S_OK, Create(CLSID_ScriptLoad, &script_));
    ASSERT_HR(S_OK, script_.As(IidOf<IPersistFile>(), &file_));
  }
  void TearDown() override {
    file_.Reset();
    script_.Reset();
    ModuleTest::TearDown();
  }

  HRESULT Load(const std::string& name, const std::string& bytes) {
    folder_.Write(name, bytes);
    return file_->Load(folder_.WidePath(name).c_str(), 0);
  }

  std::string Text() {
    UniqueBstr text;
    EXPECT_HR(S_OK, script_->get_ConcatScriptLines(text.put()));
    EXPECT_NE(nullptr, text.get());
    return zantest::Narrow(text.get());
  }

  ComPtr<IScript> script_;
  ComPtr<IPersistFile> file_;
  zantest::TempFolder folder_;
};

}  // namespace

TEST_F(ScriptLoadTest, InformationIsCutAndEmptyLinesSkipped) {
  EXPECT_EQ("", Text());  // before any load: the empty string
  ASSERT_HR(S_OK, Load("a.txt", "\xEF\xBB\xBF" "p\r\nq = 1 @@ x_;_y\r\n\r\n"));
  EXPECT_EQ("p\nq = 1\n", Text());
}

TEST_F(ScriptLoadTest, OnlyTheSavedFormIsCut) {
  ASSERT_HR(S_OK, Load("b.txt",
                       "keep @@ this \r\n"            // a marker without a pair separator stays
                       "  indented\r\n"               // no marker: the indentation stays
                       "  cut  @@ k_;_v_;_\r\n"       // cut: trimmed at both ends
                       "a_;_b @@ tail\r\n"            // the separator only before the last marker
                       "one @@ two @@ k_;_v_;_\r\n"  // earlier markers stay
                       "x @@ @@ k_;_v_;_\r\n"         // overlapping markers: the last one
                       " @@ k_;_v_;_"));               // a marker at the very start
  EXPECT_EQ("keep @@ this \n  indented\ncut\na_;_b @@ tail\none @@ two\nx @@\n\n", Text());
}

// A line that ends in the marker itself holds a text that a Script saved
// whole: it is cut there and kept as it stands, as a Script reads it.
TEST_F(ScriptLoadTest, AMarkerThatEndsTheLineIsCutWithNothingTrimmed) {
  ASSERT_HR(S_OK, Load("e.txt", "a @@ b_;_c @@ \r\n  x  @@ \r\nT @@   \r\n @@  @@ "));
  EXPECT_EQ("a @@ b_;_c\n  x \nT @@   \n @@ \n", Text());
}

TEST_F(ScriptLoadTest, RecordedLengthsDecideWhatIsSkipped) {
  ASSERT_HR(S_OK, Load("w.txt", std::string("\xFF\xFE" "x\0\r\0\n\0y\0z\0", 12)));
  EXPECT_EQ("yz\n", Text());  // a one-character UTF-16 line is skipped
  ComPtr<IScript> other;
  ASSERT_HR(S_OK, Create(CLSID_ScriptLoad, &other));
  ComPtr<IPersistFile> otherFile;
  ASSERT_HR(S_OK, other.As(IidOf<IPersistFile>(), &otherFile));
  folder_.Write("a.txt", "x\r\nyz");
  ASSERT_HR(S_OK, otherFile->Load(folder_.WidePath("a.txt").c_str(), 0));
  ASSERT_HR(S_OK, otherFile->Load(folder_.WidePath("a.txt").c_str(), 0));  // appends
  UniqueBstr text;
  ASSERT_HR(S_OK, other->get_ConcatScriptLines(text.put()));
  EXPECT_EQ("x\nyz\nx\nyz\n", zantest::Narrow(text.get()));
}

TEST_F(ScriptLoadTest, ReadsWhatAScriptSaved) {
  ComPtr<IScript4> saved;
  ASSERT_HR(S_OK, Create(CLSID_Script, &saved));
  UniqueBstr lines(SysAllocString(OLESTR("first\n  second")));
  ASSERT_HR(S_OK, saved->AppendScriptLine(lines.get()));
  UniqueBstr key(SysAllocString(OLESTR("script comments"))), value(SysAllocString(OLESTR("note")));
  ASSERT_HR(S_OK, saved->SetLineInfo(1, key.get(), value.get()));
  ComPtr<IPersistFile> savedFile;
  ASSERT_HR(S_OK, saved.As(IidOf<IPersistFile>(), &savedFile));
  for (LONG encoding : {0, 1, 2}) {
    SCOPED_TRACE(encoding);
    ASSERT_HR(S_OK, saved->put_SaveEncoding(encoding));
    ASSERT_HR(S_OK, savedFile->Save(folder_.WidePath("s.txt").c_str(), TRUE));
    ComPtr<IScript> loader;
    ASSERT_HR(S_OK, Create(CLSID_ScriptLoad, &loader));
    ComPtr<IPersistFile> loaderFile;
    ASSERT_HR(S_OK, loader.As(IidOf<IPersistFile>(), &loaderFile));
    ASSERT_HR(S_OK, loaderFile->Load(folder_.WidePath("s.txt").c_str(), 0));
    UniqueBstr text;
    ASSERT_HR(S_OK, loader->get_ConcatScriptLines(text.put()));
    EXPECT_EQ("first\nsecond\n", zantest::Narrow(text.get()));  // the cut line loses its indentation
  }
}

TEST_F(ScriptLoadTest, MissingFileAndUnimplementedOperations) {
  ASSERT_HR(S_OK, Load("a.txt", "ab"));
  EXPECT_HR(E_FAIL, file_->Load(folder_.WidePath("missing.txt").c_str(), 0));
  EXPECT_HR(E_FAIL, file_->Load(nullptr, 0));
  EXPECT_EQ("ab\n", Text());
  EXPECT_HR(E_POINTER, script_->get_ConcatScriptLines(nullptr));
  EXPECT_HR(E_NOTIMPL, script_->get_Size(nullptr));
  EXPECT_HR(E_NOTIMPL, script_->AppendScriptLine(nullptr));
  EXPECT_HR(E_NOTIMPL, file_->GetClassID(nullptr));
  EXPECT_HR(E_NOTIMPL, file_->IsDirty());
  EXPECT_HR(E_NOTIMPL, file_->Save(nullptr, FALSE));

  ComPtr<IScriptData> data;
  ASSERT_HR(S_OK, script_.As(IidOf<IScriptData>(), &data));
  LONG line = 0;
  ASSERT_HR(S_OK, data->GetCurrentLine(&line));
  EXPECT_EQ(-1, line);
  ASSERT_HR(S_OK, data->SetCurrentLine(7));
  ASSERT_HR(S_OK, data->GetCurrentLine(&line));
  EXPECT_EQ(7, line);
  EXPECT_HR(E_POINTER, data->GetCurrentLine(nullptr));
  EXPECT_HR(E_NOTIMPL, data->ApplyUpdate(nullptr, nullptr));

  void* other = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, script_->QueryInterface(IID_IScript2, &other));
  EXPECT_HR(E_NOINTERFACE, script_->QueryInterface(IID_IPersist, &other));
  EXPECT_EQ(nullptr, other);
  ComPtr<IUnknown> unknown;
  ASSERT_HR(S_OK, script_.As(IID_IUnknown, &unknown));
  EXPECT_EQ(static_cast<IUnknown*>(script_.get()), unknown.get());
}

namespace {

// Every member ScriptLoad does not implement, called with arguments it
// must not look at; each answers E_NOTIMPL and changes nothing.
void ExpectEveryOtherMemberUnimplemented(IScript* script) {
  ComPtr<IPersistFile> file;
  ComPtr<IScriptData> data;
  ASSERT_HR(S_OK, script->QueryInterface(IID_IPersistFile, file.put_void()));
  ASSERT_HR(S_OK, script->QueryInterface(IidOf<IScriptData>(), data.put_void()));
  BSTR bad = reinterpret_cast<BSTR>(1);
  EXPECT_HR(E_NOTIMPL, script->get_Size(nullptr));
  EXPECT_HR(E_NOTIMPL, script->get_Line(-1, nullptr));
  EXPECT_HR(E_NOTIMPL, script->put_Line(-1, reinterpret_cast<IDispatch*>(1)));
  EXPECT_HR(E_NOTIMPL, script->SetLineInfo(-1, bad, bad));
  EXPECT_HR(E_NOTIMPL, script->GetLineInfo(-1, bad, nullptr));
  EXPECT_HR(E_NOTIMPL, script->Empty());
  EXPECT_HR(E_NOTIMPL, script->get_IsEmpty(nullptr));
  EXPECT_HR(E_NOTIMPL, script->UpdateLineInfo(-1, bad, bad));
  EXPECT_HR(E_NOTIMPL, script->RemoveLine(-1));
  EXPECT_HR(E_NOTIMPL, script->DeleteLineInfo(-1, bad));
  EXPECT_HR(E_NOTIMPL, script->get_Script(-1, nullptr));
  EXPECT_HR(E_NOTIMPL, script->AppendScriptLine(bad));
  EXPECT_HR(E_NOTIMPL, script->UpdateFromScript(reinterpret_cast<IUnknown*>(1), 99, -1, -1));
  EXPECT_HR(E_NOTIMPL, script->get_ConcatScriptLinesWithComments(nullptr));
  EXPECT_HR(E_NOTIMPL, script->SetNoDirty());
  EXPECT_HR(E_NOTIMPL, script->ReplaceScriptStr(bad, bad, -1));
  EXPECT_HR(E_NOTIMPL, file->GetClassID(nullptr));
  EXPECT_HR(E_NOTIMPL, file->IsDirty());
  EXPECT_HR(E_NOTIMPL, file->Save(reinterpret_cast<LPCOLESTR>(1), TRUE));
  EXPECT_HR(E_NOTIMPL, file->SaveCompleted(reinterpret_cast<LPCOLESTR>(1)));
  EXPECT_HR(E_NOTIMPL, file->GetCurFile(nullptr));
  EXPECT_HR(E_NOTIMPL, data->ApplyUpdate(reinterpret_cast<ScriptUpdateInfo*>(1), reinterpret_cast<IUnknown*>(1)));
  EXPECT_HR(E_NOTIMPL, data->CreateCopy(nullptr, nullptr));
  EXPECT_HR(E_NOTIMPL, data->GetLineScript(-1, nullptr));
}

}  // namespace

TEST_F(ScriptLoadTest, EveryOtherMemberIsUnimplemented) {
  ExpectEveryOtherMemberUnimplemented(script_.get());
  EXPECT_EQ("", Text());
}

// Aggregated, it answers through its inner unknown and works as alone;
// its interfaces count on the outer object.
TEST_F(ScriptLoadTest, AggregatedLoaderWorksThroughItsInnerUnknown) {
  ComPtr<IClassFactory> factory = Factory(CLSID_ScriptLoad);
  zantest::CountingObject outer;
  IUnknown* inner = nullptr;  // the aggregating object's own reference, released by hand below
  EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IScript, reinterpret_cast<void**>(&inner)));
  ASSERT_HR(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  factory.Reset();
  {
    ComPtr<IScript> script;
    ASSERT_HR(S_OK, inner->QueryInterface(IID_IScript, script.put_void()));
    EXPECT_REFS(&outer, 2);
    ComPtr<IPersistFile> file;
    ASSERT_HR(S_OK, inner->QueryInterface(IID_IPersistFile, file.put_void()));
    folder_.Write("a.txt", "x @@ k_;_v_;_\r\nyz");
    ASSERT_HR(S_OK, file->Load(folder_.WidePath("a.txt").c_str(), 0));
    UniqueBstr text;
    ASSERT_HR(S_OK, script->get_ConcatScriptLines(text.put()));
    EXPECT_EQ("x\nyz\n", zantest::Narrow(text.get()));
    file.Reset();
    // The contained object's QueryInterface is the outer one's, which
    // knows no interface of the loader; the members are reached directly.
    void* none = reinterpret_cast<void*>(1);
    EXPECT_HR(E_NOINTERFACE, script->QueryInterface(IID_IPersistFile, &none));
  }
  ComPtr<IScript> script;
  ASSERT_HR(S_OK, inner->QueryInterface(IID_IScript, script.put_void()));
  EXPECT_HR(E_NOTIMPL, script->get_Size(nullptr));
  EXPECT_HR(E_NOTIMPL, script->SetNoDirty());
  script.Reset();
  EXPECT_REFS(&outer, 1);
  EXPECT_EQ(0u, inner->Release());
}
