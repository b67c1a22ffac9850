#include <algorithm>

#include "script_fixture.h"

using zan::ComPtr;
using zan::UniqueBstr;
using zan::UniqueVariant;
using zantest::CountingObject;
using zantest::Lines;
using zantest::kSource;

namespace {

class TextTest : public zantest::ScriptTest {
 protected:
  // A concatenation as text, or "<hr>" on failure.
  std::string Concat(bool withComments) {
    UniqueBstr text;
    HRESULT hr = withComments ? script_->get_ConcatScriptLinesWithComments(text.put())
                              : script_->get_ConcatScriptLines(text.put());
    if (FAILED(hr)) return "<" + zantest::HrText(hr) + ">";
    return text.get() ? zantest::Narrow(text.get()) : "(null)";
  }

  // A second script with the given lines.
  ComPtr<IScript4> Source(const WCHAR* text) {
    ComPtr<IScript4> source;
    EXPECT_HR(S_OK, Create(CLSID_Script, &source));
    if (source && text) {
      EXPECT_HR(S_OK, source->AppendScriptLine(Text(text)));
    }
    return source;
  }

  ComPtr<IDispatch> Line(IScript* script, LONG i) {
    ComPtr<IDispatch> line;
    EXPECT_HR(S_OK, script->get_Line(i, line.put()));
    return line;
  }
};

}  // namespace

TEST_F(TextTest, ConcatenationsEndEveryLineWithLf) {
  EXPECT_EQ("(null)", Concat(false));  // no lines: a null string
  EXPECT_EQ("(null)", Concat(true));
  Append(OLESTR("a\nb\nc"));
  EXPECT_EQ("a\nb\nc\n", Concat(false));
  ASSERT_HR(S_OK, script_->SetLineInfo(1, Text(kSource), Text(OLESTR("x\r\ny"))));
  EXPECT_EQ("a\nx\r\ny\nc\n", Concat(false));  // text with line breaks is copied as it is
  EXPECT_HR(E_POINTER, script_->get_ConcatScriptLines(nullptr));
  EXPECT_HR(E_POINTER, script_->get_ConcatScriptLinesWithComments(nullptr));
}

TEST_F(TextTest, CommentsFollowTheTextDirectly) {
  Append(OLESTR("x\nz"));
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(OLESTR("script comments")), Text(OLESTR(" // y"))));
  ASSERT_HR(S_OK, script_->SetLineInfo(2, Text(OLESTR("script comments")), Text(OLESTR("lost"))));
  EXPECT_EQ("x // y\nz\n\n", Concat(true));  // a comment without text is not rendered
  EXPECT_EQ("x\nz\n\n", Concat(false));
}

// Each text and comment ends at its first NUL, wherever it stands in the
// value (lengths around the four units a length scan takes at a time).
TEST_F(TextTest, ConcatenationsCutEachPieceAtItsFirstNul) {
  const WCHAR units[] = OLESTR("abcdefghij");
  std::string plain, commented;
  LONG line = 0;
  for (int length = 0; length <= 9; ++length) {
    for (int nul = 0; nul <= length; ++nul) {
      WCHAR text[10] = {};
      std::copy(units, units + length, text);
      if (nul < length) text[nul] = 0;
      ASSERT_HR(S_OK, script_->SetLineInfoBSTR(line, Text(kSource), Text(text, length)));
      ASSERT_HR(S_OK, script_->SetLineInfoBSTR(line, Text(OLESTR("script comments")), Text(OLESTR("/x\0y"), 4)));
      const std::string kept = zantest::Narrow(units, static_cast<size_t>(nul));
      plain += kept + "\n";
      commented += kept + "/x\n";
      ++line;
    }
  }
  EXPECT_EQ(plain, Concat(false));
  EXPECT_EQ(commented, Concat(true));
}

TEST_F(TextTest, OddLinesRenderAsTheirTextOrNothing) {
  Append(OLESTR("a"));
  ComPtr<Scripting::IDictionary> line = LineAt(0);
  UniqueVariant key = zantest::String(kSource), seven = zantest::Long(7);
  ASSERT_HR(S_OK, line->put_Item(key.get(), seven.get()));
  CountingObject notADictionary;
  ASSERT_HR(S_OK, script_->put_Line(1, &notADictionary));
  ASSERT_HR(S_OK, script_->put_Line(2, nullptr));
  EXPECT_EQ("7\n\n\n", Concat(false));
  ASSERT_HR(S_OK, script_->Empty());  // the host object goes before the script
  EXPECT_REFS(&notADictionary, 1);
}

TEST_F(TextTest, GetScriptIsTheLineText) {
  UniqueBstr text;
  EXPECT_HR(E_FAIL, script_->get_Script(-1, text.put()));  // no current line yet
  Append(OLESTR("a\nb"));
  ASSERT_HR(S_OK, script_->get_Script(1, text.put()));
  EXPECT_EQ("b", zantest::Narrow(text.get()));
  EXPECT_HR(E_FAIL, script_->get_Script(2, text.put()));
  EXPECT_HR(E_FAIL, script_->get_Script(0, nullptr));
}

TEST_F(TextTest, ReplaceScriptStr) {
  Append(OLESTR("abcab\nzz"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  ASSERT_HR(S_OK, script_->ReplaceScriptStr(Text(OLESTR("ab")), Text(OLESTR("X")), -1));
  EXPECT_EQ((Lines{"XcX", "zz"}), Texts());
  EXPECT_TRUE(Dirty());

  ASSERT_HR(S_OK, script_->ReplaceScriptStr(nullptr, Text(OLESTR("q")), 1));  // the whole text
  EXPECT_EQ((Lines{"XcX", "q"}), Texts());
  ASSERT_HR(S_OK, script_->ReplaceScriptStr(nullptr, Text(OLESTR("new")), 2));  // at Size: appends
  EXPECT_EQ((Lines{"XcX", "q", "new"}), Texts());
  ASSERT_HR(S_OK, script_->ReplaceScriptStr(Text(OLESTR("X")), nullptr, 0));  // a null new text removes
  EXPECT_EQ((Lines{"c", "q", "new"}), Texts());

  ASSERT_HR(S_OK, script_->SetNoDirty());
  ASSERT_HR(S_OK, script_->ReplaceScriptStr(Text(OLESTR("")), Text(OLESTR("r")), -1));
  EXPECT_EQ((Lines{"c", "q", "new"}), Texts());
  EXPECT_TRUE(Dirty());  // set even when nothing was replaced
  EXPECT_HR(S_OK, script_->ReplaceScriptStr(Text(OLESTR("c")), Text(OLESTR("d")), 99));
  EXPECT_HR(S_OK, script_->ReplaceScriptStr(Text(OLESTR("c")), Text(OLESTR("d")), 0x7FFFFFFF));
  EXPECT_EQ(3, Size());
}

TEST_F(TextTest, UpdateFromScriptInsertsSharedLines) {
  Append(OLESTR("A\nB\nC"));
  ComPtr<IScript4> source = Source(OLESTR("s0\ns1"));
  ASSERT_HR(S_OK, script_->UpdateFromScript(source.get(), 0, 1, 0));
  EXPECT_EQ((Lines{"A", "s0", "s1", "B", "C"}), Texts());
  EXPECT_EQ(Line(source.get(), 0).get(), Line(script_.get(), 1).get());  // the source's own object
  ASSERT_HR(S_OK, source->SetLineInfo(0, Text(kSource), Text(OLESTR("changed"))));
  EXPECT_EQ("changed", Info(1));

  ASSERT_HR(S_OK, script_->UpdateFromScript(source.get(), 0, 10, 0));  // lowered to Size
  EXPECT_EQ((Lines{"A", "changed", "s1", "B", "C", "changed", "s1"}), Texts());
}

TEST_F(TextTest, UpdateFromScriptReplacesAndRemovesRanges) {
  Append(OLESTR("A\nB\nC"));
  ComPtr<IScript4> source = Source(OLESTR("s0"));
  ASSERT_HR(S_OK, script_->UpdateFromScript(source.get(), 1, 1, 1));
  EXPECT_EQ((Lines{"A", "s0", "C"}), Texts());

  ASSERT_HR(S_OK, script_->SetNoDirty());
  EXPECT_HR(S_OK, script_->UpdateFromScript(nullptr, 2, 1, 5));  // the end lies beyond Size
  EXPECT_HR(S_OK, script_->UpdateFromScript(nullptr, 2, 2, -2));  // the end lies before the start
  EXPECT_EQ((Lines{"A", "s0", "C"}), Texts());
  EXPECT_FALSE(Dirty());
  EXPECT_HR(S_OK, script_->UpdateFromScript(source.get(), 1, 2, -1));  // nothing removed, s0 inserted
  EXPECT_EQ((Lines{"A", "s0", "s0", "C"}), Texts());
  ASSERT_HR(S_OK, script_->SetNoDirty());
  EXPECT_HR(S_OK, script_->UpdateFromScript(nullptr, 2, 1, 0));
  EXPECT_TRUE(Dirty());  // both ends valid: dirty, though nothing went
  ASSERT_HR(S_OK, script_->UpdateFromScript(nullptr, 2, 0, 3));
  EXPECT_EQ((Lines{"C"}), Texts());
}

TEST_F(TextTest, UpdateFromScriptActionsAndRefusals) {
  Append(OLESTR("A\nB"));
  ComPtr<IScript4> empty = Source(nullptr);
  CountingObject notAScript;
  EXPECT_HR(E_FAIL, script_->UpdateFromScript(nullptr, 0, 0, 0));
  EXPECT_HR(E_FAIL, script_->UpdateFromScript(&notAScript, 0, 0, 0));
  EXPECT_HR(E_INVALIDARG, script_->UpdateFromScript(nullptr, 6, 0, 0));
  EXPECT_HR(S_OK, script_->UpdateFromScript(nullptr, 4, 0, 1));
  EXPECT_HR(S_OK, script_->UpdateFromScript(empty.get(), 5, 0, 1));
  EXPECT_EQ((Lines{"A", "B"}), Texts());
  EXPECT_REFS(&notAScript, 1);

  ASSERT_HR(S_OK, script_->SetNoDirty());
  ASSERT_HR(S_OK, script_->UpdateFromScript(empty.get(), 3, 0, 0));  // replace all by nothing
  EXPECT_EQ(0, Size());
  EXPECT_FALSE(Dirty());
  Append(OLESTR("A\nB"));
  ComPtr<IScript4> source = Source(OLESTR("s"));
  ASSERT_HR(S_OK, script_->UpdateFromScript(source.get(), 3, 1, 0));  // only position 0 fills it
  EXPECT_EQ(0, Size());
}

// A script that is its own source copies its lines as they were before the
// call.
TEST_F(TextTest, UpdateFromScriptWithItselfAsSource) {
  Append(OLESTR("A\nB"));
  ASSERT_HR(S_OK, script_->UpdateFromScript(script_.get(), 3, 0, 0));
  EXPECT_EQ((Lines{"A", "B"}), Texts());
  ASSERT_HR(S_OK, script_->UpdateFromScript(script_.get(), 0, 1, 0));
  EXPECT_EQ((Lines{"A", "A", "B", "B"}), Texts());
  ASSERT_HR(S_OK, script_->UpdateFromScript(script_.get(), 1, 0, 4));
  EXPECT_EQ((Lines{"A", "A", "B", "B"}), Texts());
}

// The argument checks come in their order: a pUnk that is no script before
// the action code; a missing source before anything changes.
TEST_F(TextTest, UpdateFromScriptChecksTheSourceFirst) {
  Append(OLESTR("A\nB"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  CountingObject notAScript;
  EXPECT_HR(E_FAIL, script_->UpdateFromScript(&notAScript, 6, 0, 0));
  EXPECT_HR(E_INVALIDARG, script_->UpdateFromScript(nullptr, 6, 0, 0));
  EXPECT_HR(E_FAIL, script_->UpdateFromScript(nullptr, 1, 0, 1));
  EXPECT_HR(E_FAIL, script_->UpdateFromScript(nullptr, 3, 0, 0));
  EXPECT_EQ((Lines{"A", "B"}), Texts());
  EXPECT_FALSE(Dirty());
  EXPECT_REFS(&notAScript, 1);
}

// Source lines that are null or no dictionary are skipped, and the place
// of the next line does not move for them.
TEST_F(TextTest, UpdateFromScriptSkipsLinesThatAreNoDictionary) {
  Append(OLESTR("A\nB"));
  ComPtr<IScript4> source = Source(OLESTR("s0\ns1"));
  CountingObject notADictionary;
  ASSERT_HR(S_OK, source->put_Line(1, nullptr));
  ASSERT_HR(S_OK, source->put_Line(2, &notADictionary));
  ASSERT_HR(S_OK, script_->UpdateFromScript(source.get(), 0, 1, 0));
  EXPECT_EQ((Lines{"A", "s0", "s1", "B"}), Texts());
  ASSERT_HR(S_OK, script_->UpdateFromScript(source.get(), 1, 0, 4));
  EXPECT_EQ((Lines{"s0", "s1"}), Texts());
  source.Reset();
  EXPECT_REFS(&notADictionary, 1);
}
