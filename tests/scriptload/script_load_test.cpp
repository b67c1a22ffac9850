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
