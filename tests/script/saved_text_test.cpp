// What a saved line keeps of texts and values the format could mistake:
// a NUL inside them, and markers of their own followed by blanks or by
// something that looks like information.
#include "script_fixture.h"
#include "support/temp_folder.h"
#include "textio/file_encoding.h"

using zan::ComPtr;
using zan::UniqueBstr;
using zantest::kSource;

namespace {

using Strings = std::vector<std::string>;

class SavedTextTest : public zantest::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    ASSERT_HR(S_OK, script_.As(IidOf<IPersistFile>(), &file_));
  }
  void TearDown() override {
    file_.Reset();
    ScriptTest::TearDown();
  }

  HRESULT Save(LONG encoding) {
    EXPECT_HR(S_OK, script_->put_SaveEncoding(encoding));
    return file_->Save(folder_.WidePath("saved.txt").c_str(), TRUE);
  }

  // Every line of what a Script loads from the saved file: its text, then
  // "key=value" for each piece of information (in key order).
  Strings Reloaded() {
    ComPtr<IScript4> other;
    EXPECT_HR(S_OK, Create(CLSID_Script, &other));
    ComPtr<IPersistFile> file;
    EXPECT_HR(S_OK, other.As(IidOf<IPersistFile>(), &file));
    EXPECT_HR(S_OK, file->Load(folder_.WidePath("saved.txt").c_str(), 0));
    return Lines(other.get());
  }

  Strings Lines(IScript4* script) {
    Strings out;
    LONG size = 0;
    EXPECT_HR(S_OK, script->get_Size(&size));
    for (LONG i = 0; i < size; ++i) {
      ComPtr<IDispatch> object;
      EXPECT_HR(S_OK, script->get_Line(i, object.put()));
      ComPtr<Scripting::IDictionary> line;
      EXPECT_HR(S_OK, object.As(Scripting::IID_IDictionary, &line));
      zan::UniqueVariant keys, items;
      EXPECT_HR(S_OK, line->Keys(keys.get()));
      EXPECT_HR(S_OK, line->Items(items.get()));
      std::string row, info;
      LONG upper = -1;
      SafeArrayGetUBound(V_ARRAY(keys.get()), 1, &upper);
      for (LONG k = 0; k <= upper; ++k) {
        zan::UniqueVariant key, item;
        SafeArrayGetElement(V_ARRAY(keys.get()), &k, key.get());
        SafeArrayGetElement(V_ARRAY(items.get()), &k, item.get());
        const WString whole = zantest::Text(V_BSTR(item.get()));
        const std::string value = zantest::Narrow(whole.c_str(), whole.size());
        if (WString(V_BSTR(key.get())) == kSource) row = value + row;
        else row += "|" + zantest::Narrow(V_BSTR(key.get())) + "=" + value;
      }
      out.push_back(row);
    }
    return out;
  }

  // What ScriptLoad gives for the saved file.
  std::string LoadedPlain() {
    ComPtr<IScript> loader;
    EXPECT_HR(S_OK, Create(CLSID_ScriptLoad, &loader));
    ComPtr<IPersistFile> file;
    EXPECT_HR(S_OK, loader.As(IidOf<IPersistFile>(), &file));
    EXPECT_HR(S_OK, file->Load(folder_.WidePath("saved.txt").c_str(), 0));
    UniqueBstr text;
    EXPECT_HR(S_OK, loader->get_ConcatScriptLines(text.put()));
    return zantest::Narrow(text.get());
  }

  void SetInfo(LONG i, const WCHAR* key, BSTR value) {
    ASSERT_HR(S_OK, script_->SetLineInfoBSTR(i, Text(key), value));
  }

  ComPtr<IPersistFile> file_;
  zantest::TempFolder folder_;
};

}  // namespace

// A text or value holding a NUL is read up to it, as everywhere else: the
// rest of the line, its other information, is saved after it.
TEST_F(SavedTextTest, ANulEndsATextOrValueButNotItsLine) {
  SetInfo(0, kSource, Text(OLESTR("ab\0cd"), 5));
  SetInfo(0, OLESTR("script comments"), Text(OLESTR("c")));
  SetInfo(0, OLESTR("owner"), Text(OLESTR("me")));
  SetInfo(1, kSource, Text(OLESTR("t")));
  SetInfo(1, OLESTR("a"), Text(OLESTR("x\0y"), 3));
  SetInfo(1, OLESTR("b"), Text(OLESTR("z")));
  SetInfo(1, OLESTR("c"), Text(OLESTR("\0hidden"), 7));  // nothing before its NUL: nothing to save
  for (LONG encoding : {FE_ANSI, FE_UTF16LE, FE_UTF8}) {
    SCOPED_TRACE(encoding);
    ASSERT_HR(S_OK, Save(encoding));
    EXPECT_EQ((Strings{"ab|owner=me|script comments=c", "t|a=x|b=z"}), Reloaded());
  }
  EXPECT_EQ("ab @@ owner_;_me_;_script comments_;_c_;_\r\nt @@ a_;_x_;_b_;_z_;_", folder_.Read("saved.txt").substr(3));
}

// A text without information reads back whole, also when it ends in blanks
// after a marker of its own, through the Script and through ScriptLoad; a
// text with information loses the white space at its end, as the format
// has it.
TEST_F(SavedTextTest, TextsWithMarkersOfTheirOwnReadBackWhole) {
  const WCHAR* const texts[] = {
      OLESTR("x @@ "),         OLESTR("a @@ b_;_c_;_ "), OLESTR("a @@ b_;_c"), OLESTR(" @@ "),
      OLESTR("t \t @@ \t "),   OLESTR("y @@  @@ "),      OLESTR("P @@ Q"),     OLESTR("ends in blanks  "),
      OLESTR("k_;_v_;_ @@ "),
  };
  Strings whole;
  std::string plain;
  for (const WCHAR* text : texts) {
    ASSERT_HR(S_OK, script_->SetLineInfo(Size(), Text(kSource), Text(text)));
    whole.push_back(zantest::Narrow(text));
    plain += zantest::Narrow(text) + "\n";
  }
  for (LONG encoding : {FE_ANSI, FE_UTF16LE, FE_UTF8}) {
    SCOPED_TRACE(encoding);
    ASSERT_HR(S_OK, Save(encoding));
    EXPECT_EQ(whole, Reloaded());
    EXPECT_EQ(plain, LoadedPlain());
  }
  ASSERT_HR(S_OK, Save(FE_ANSI));
  EXPECT_EQ(std::string("x @@  @@ \r\na @@ b_;_c_;_  @@ \r\na @@ b_;_c @@ \r\n @@  @@ \r\nt \t @@ \t  @@ \r\n"
                        "y @@  @@  @@ \r\nP @@ Q\r\nends in blanks  \r\nk_;_v_;_ @@  @@ "),
            folder_.Read("saved.txt"));

  // With information, the blanks before the marker are the format's own.
  ASSERT_HR(S_OK, script_->Empty());
  SetInfo(0, kSource, Text(OLESTR("t  ")));
  SetInfo(0, OLESTR("k"), Text(OLESTR("v")));
  ASSERT_HR(S_OK, Save(FE_UTF8));
  EXPECT_EQ((Strings{"t|k=v"}), Reloaded());
  EXPECT_EQ("t\n", LoadedPlain());
}

// A line that is no dictionary is not written and does not count as one
// written: the lines after it are still followed by CR LF as the count of
// all lines has it. A text that is no string is written as its text form.
TEST_F(SavedTextTest, LinesThatAreNoDictionaryAndTextsThatAreNoString) {
  zantest::CountingObject notADictionary;
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->put_Line(1, nullptr));
  ASSERT_HR(S_OK, script_->put_Line(2, &notADictionary));
  Append(OLESTR("b"));
  ASSERT_HR(S_OK, Save(FE_ANSI));
  EXPECT_EQ("a\r\nb\r\n", folder_.Read("saved.txt"));

  ASSERT_HR(S_OK, script_->Empty());
  Append(OLESTR("x\ny"));
  zan::UniqueVariant key = zantest::String(kSource), seven = zantest::Long(7);
  ASSERT_HR(S_OK, LineAt(0)->put_Item(key.get(), seven.get()));
  ASSERT_HR(S_OK, LineAt(1)->put_Item(key.get(), seven.get()));
  SetInfo(1, OLESTR("k"), Text(OLESTR("v")));
  ASSERT_HR(S_OK, Save(FE_ANSI));
  EXPECT_EQ("7\r\n7 @@ k_;_v_;_", folder_.Read("saved.txt"));
  EXPECT_EQ((Strings{"7", "7|k=v"}), Reloaded());
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&notADictionary, 1);
}

// A UTF-8 line that does not decode is left out of a load; the lines
// around it load.
TEST_F(SavedTextTest, AnUndecodableLineIsSkippedOnLoad) {
  folder_.Write("saved.txt", "\xEF\xBB\xBF" "a @@ k_;_v_;_\r\nbad \xC3\x28 byte\r\nb");
  EXPECT_EQ((Strings{"a|k=v", "b"}), Reloaded());
}
