// Lines that hosts implement themselves: the script reads them through
// their IDictionary, once per value, in line order, whatever else they
// answer.
#include "host_line.h"
#include "script_fixture.h"
#include "support/temp_folder.h"

using zan::ComPtr;
using zan::UniqueBstr;
using zan::UniqueVariant;
using zantest::HostLine;
using zantest::kSource;

namespace {

const WCHAR* const kComment = OLESTR("script comments");
using Calls = std::vector<std::string>;

class HostLineTest : public zantest::ScriptTest {
 protected:
  // A ZanDictionary holding the pairs given, key then value.
  ComPtr<Scripting::IDictionary> Store(std::initializer_list<const WCHAR*> pairs) {
    ComPtr<Scripting::IDictionary> store;
    EXPECT_HR(S_OK, Create(CLSID_ZanDictionary, &store));
    for (auto at = pairs.begin(); store && at != pairs.end(); at += 2) {
      UniqueVariant key = zantest::String(at[0]), value = zantest::String(at[1]);
      EXPECT_HR(S_OK, store->Add(key.get(), value.get()));
    }
    return store;
  }

  std::string Concat(bool withComments) {
    UniqueBstr text;
    HRESULT hr = withComments ? script_->get_ConcatScriptLinesWithComments(text.put())
                              : script_->get_ConcatScriptLines(text.put());
    if (FAILED(hr)) return "<" + zantest::HrText(hr) + ">";
    return text.get() ? zantest::Narrow(text.get()) : "(null)";
  }

  zantest::TempFolder folder_;
};

}  // namespace

// Each value of a host's line is asked for once, in order; a failing call
// ends the concatenation with its result, and nothing after it is asked.
TEST_F(HostLineTest, ConcatenationsReadAHostLineOnce) {
  HostLine first(Store({kSource, OLESTR("h"), kComment, OLESTR(" // c")}));
  HostLine second(Store({kSource, OLESTR("g")}));
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->put_Line(1, &first));
  Append(OLESTR("b"));
  ASSERT_HR(S_OK, script_->put_Line(3, &second));

  first.queries = 0;
  EXPECT_EQ("a\nh\nb\ng\n", Concat(false));
  EXPECT_EQ(1, first.queries);  // opened once, by the pass that reads it
  EXPECT_EQ((Calls{"Exists script source", "get_Item script source"}), first.calls);
  EXPECT_EQ((Calls{"Exists script source", "get_Item script source"}), second.calls);
  first.calls.clear();
  second.calls.clear();
  EXPECT_EQ("a\nh // c\nb\ng\n", Concat(true));
  EXPECT_EQ((Calls{"Exists script source", "get_Item script source", "Exists script comments",
                   "get_Item script comments"}),
            first.calls);
  EXPECT_EQ((Calls{"Exists script source", "get_Item script source", "Exists script comments"}), second.calls);

  first.calls.clear();
  second.calls.clear();
  first.failing = "get_Item script comments";
  EXPECT_EQ("<0x8000FFFF>", Concat(true));
  EXPECT_EQ(4u, first.calls.size());
  EXPECT_TRUE(second.calls.empty());
  first.calls.clear();
  first.failing.clear();
  second.failing = "get_Item script source";
  EXPECT_EQ("<0x8000FFFF>", Concat(false));
  EXPECT_EQ((Calls{"Exists script source", "get_Item script source"}), first.calls);
  EXPECT_EQ((Calls{"Exists script source", "get_Item script source"}), second.calls);

  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&first, 1);
  EXPECT_REFS(&second, 1);
}

// A host's failure reaches the host's debug output from where the script
// met it and from each step it passed on its way out.
TEST_F(HostLineTest, AHostLinesFailureIsReportedWhereTheScriptMetIt) {
  HostLine line(Store({kSource, OLESTR("h")}));
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->put_Line(1, &line));
  line.failing = "get_Item script source";
#if defined(ZAN_PLATFORM_POSIX)
  std::string seen;
  ZanSetDebugSink([](const char* text, void* ctx) { *static_cast<std::string*>(ctx) += text; }, &seen);
#endif
  EXPECT_EQ("<0x8000FFFF>", Concat(false));
#if defined(ZAN_PLATFORM_POSIX)
  ZanSetDebugSink(nullptr, nullptr);
  const size_t met = seen.find("script/line_view.cpp(");
  EXPECT_NE(std::string::npos, met) << seen;
  EXPECT_NE(std::string::npos, seen.find("script/line_text.cpp(", met)) << seen;
  EXPECT_NE(std::string::npos, seen.find("): failed 0x8000FFFF\n")) << seen;
#endif
  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&line, 1);
}

// A host that implements IDictionary itself and passes every other id to a
// ZanDictionary inside it (blind aggregation) is read through its own
// IDictionary by every operation, never through the object inside.
TEST_F(HostLineTest, AWrappedDictionaryIsReadThroughTheWrapper) {
  ComPtr<Scripting::IDictionary> inner = Store({kSource, OLESTR("inner"), OLESTR("k"), OLESTR("inner value")});
  HostLine wrapper(Store({kSource, OLESTR("WRAPPED"), OLESTR("k"), OLESTR("v")}), inner.get());
  ASSERT_HR(S_OK, script_->put_Line(0, &wrapper));

  EXPECT_EQ("WRAPPED\n", Concat(false));
  EXPECT_EQ("WRAPPED\n", Concat(true));
  EXPECT_EQ("WRAPPED", Info(0));
  UniqueBstr text;
  ASSERT_HR(S_OK, script_->get_Script(0, text.put()));
  EXPECT_EQ("WRAPPED", zantest::Narrow(text.get()));
  ComPtr<IPersistFile> file;
  ASSERT_HR(S_OK, script_.As(IidOf<IPersistFile>(), &file));
  ASSERT_HR(S_OK, script_->put_SaveEncoding(0));
  ASSERT_HR(S_OK, file->Save(folder_.WidePath("wrapped.txt").c_str(), TRUE));
  EXPECT_EQ("WRAPPED @@ k_;_v_;_", folder_.Read("wrapped.txt"));

  ASSERT_HR(S_OK, script_->Empty());
  EXPECT_REFS(&wrapper, 1);
}
