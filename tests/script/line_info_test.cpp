#include "script_fixture.h"

using zan::ComPtr;
using zan::UniqueVariant;
using zantest::Lines;
using zantest::String;
using zantest::kSource;

namespace {
class LineInfoTest : public zantest::ScriptTest {};
}  // namespace

TEST_F(LineInfoTest, SetAtTheEndAppendsALine) {
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(kSource), Text(OLESTR("text"))));
  EXPECT_EQ((Lines{"text"}), Texts());
  EXPECT_TRUE(Dirty());
  ASSERT_HR(S_OK, script_->SetLineInfo(1, Text(OLESTR("script comments")), Text(OLESTR("c"))));
  EXPECT_EQ(2, Size());
  EXPECT_EQ("<0x80004005>", Info(1));  // a line without text
  EXPECT_EQ("c", Info(1, OLESTR("script comments")));
  EXPECT_HR(E_FAIL, script_->SetLineInfo(3, Text(kSource), Text(OLESTR("x"))));
  EXPECT_HR(E_FAIL, script_->SetLineInfo(-1, Text(kSource), Text(OLESTR("x"))));
  EXPECT_EQ(2, Size());
}

TEST_F(LineInfoTest, SettingAKeyTwiceKeepsOneKey) {
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(OLESTR("k")), Text(OLESTR("1"))));
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(OLESTR("k")), Text(OLESTR("2"))));
  EXPECT_EQ("2", Info(0, OLESTR("k")));
  ComPtr<Scripting::IDictionary> dict = LineAt(0);
  LONG count = 0;
  EXPECT_HR(S_OK, dict->get_Count(&count));
  EXPECT_EQ(2, count);
}

TEST_F(LineInfoTest, EmbeddedNulsSurviveOnlyTheBstrForm) {
  Append(OLESTR("a"));
  BSTR value = Text(OLESTR("ab\0cd"), 5);
  ASSERT_HR(S_OK, script_->SetLineInfoBSTR(0, Text(OLESTR("full")), value));
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(OLESTR("cut")), value));
  ComPtr<Scripting::IDictionary> dict = LineAt(0);
  UniqueVariant key, stored;
  key = String(OLESTR("full"));
  ASSERT_HR(S_OK, dict->get_Item(key.get(), stored.get()));
  EXPECT_EQ(5u, SysStringLen(V_BSTR(stored.get())));
  stored.Clear();  // get_Item overwrites its out value without clearing it
  key = String(OLESTR("cut"));
  ASSERT_HR(S_OK, dict->get_Item(key.get(), stored.get()));
  EXPECT_EQ(2u, SysStringLen(V_BSTR(stored.get())));
  EXPECT_EQ("ab", Info(0, OLESTR("full")));  // read back up to the first NUL
}

// A line made at the end position holds its value in its own block: every
// unit, NULs included, and the odd last byte of a byte-length string.
TEST_F(LineInfoTest, ANewLineKeepsEveryByteOfItsValue) {
  zan::UniqueBstr odd(SysAllocStringByteLen("abc", 3));
  ASSERT_HR(S_OK, script_->SetLineInfoBSTR(0, Text(OLESTR("full")), Text(OLESTR("ab\0cd"), 5)));
  ASSERT_HR(S_OK, script_->SetLineInfoBSTR(1, Text(OLESTR("odd")), odd.get()));
  UniqueVariant key, stored;
  key = String(OLESTR("full"));
  ASSERT_HR(S_OK, LineAt(0)->get_Item(key.get(), stored.get()));
  EXPECT_EQ(5u, SysStringLen(V_BSTR(stored.get())));
  stored.Clear();
  key = String(OLESTR("odd"));
  ASSERT_HR(S_OK, LineAt(1)->get_Item(key.get(), stored.get()));
  EXPECT_EQ(3u, SysStringByteLen(V_BSTR(stored.get())));
}

TEST_F(LineInfoTest, NonStringValuesReadAsText) {
  Append(OLESTR("a"));
  ComPtr<Scripting::IDictionary> dict = LineAt(0);
  UniqueVariant key, value;
  key = String(OLESTR("n"));
  value = zantest::Long(42);
  ASSERT_HR(S_OK, dict->Add(key.get(), value.get()));
  key = String(OLESTR("null"));
  value.Clear();
  V_VT(value.get()) = VT_NULL;
  ASSERT_HR(S_OK, dict->Add(key.get(), value.get()));
  EXPECT_EQ("42", Info(0, OLESTR("n")));
  EXPECT_EQ("<0x80004005>", Info(0, OLESTR("null")));  // no text form
}

TEST_F(LineInfoTest, GetLineInfoFailures) {
  Append(OLESTR("a"));
  EXPECT_HR(E_FAIL, script_->GetLineInfo(0, Text(kSource), nullptr));
  EXPECT_EQ("<0x80004005>", Info(0, OLESTR("absent")));
  EXPECT_EQ("<0x80004005>", Info(1));
  EXPECT_EQ("<0x80004005>", Info(-1));
}

TEST_F(LineInfoTest, DeleteLineInfo) {
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(OLESTR("k")), Text(OLESTR("v"))));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  EXPECT_HR(E_FAIL, script_->DeleteLineInfo(0, Text(OLESTR("absent"))));
  EXPECT_FALSE(Dirty());
  EXPECT_HR(S_OK, script_->DeleteLineInfo(0, Text(OLESTR("k"))));
  EXPECT_TRUE(Dirty());
  EXPECT_EQ("<0x80004005>", Info(0, OLESTR("k")));
  EXPECT_HR(E_FAIL, script_->DeleteLineInfo(1, Text(OLESTR("k"))));
}

TEST_F(LineInfoTest, UpdateLineInfoIsRefused) {
  Append(OLESTR("a"));
  ASSERT_HR(S_OK, script_->SetNoDirty());
  EXPECT_HR(E_FAIL, script_->UpdateLineInfo(0, Text(kSource), Text(OLESTR("b"))));
  EXPECT_HR(E_FAIL, script_->UpdateLineInfo(-5, nullptr, nullptr));
  EXPECT_EQ((Lines{"a"}), Texts());
  EXPECT_FALSE(Dirty());
}

TEST_F(LineInfoTest, NullKeyIsRefusedByTheLineDictionary) {
  Append(OLESTR("a"));
  zan::UniqueBstr out;
  EXPECT_HR(E_INVALIDARG, script_->SetLineInfo(0, nullptr, Text(OLESTR("v"))));
  EXPECT_HR(E_INVALIDARG, script_->SetLineInfoBSTR(0, nullptr, Text(OLESTR("v"))));
  EXPECT_HR(E_INVALIDARG, script_->GetLineInfo(0, nullptr, out.put()));
  EXPECT_HR(E_INVALIDARG, script_->DeleteLineInfo(0, nullptr));
  EXPECT_HR(E_INVALIDARG, script_->SetLineInfo(1, nullptr, Text(OLESTR("v"))));
  EXPECT_EQ(1, Size());  // nothing appended
  EXPECT_HR(S_OK, script_->SetLineInfo(0, Text(OLESTR("")), Text(OLESTR("empty key"))));
  EXPECT_EQ("empty key", Info(0, OLESTR("")));
}

TEST_F(LineInfoTest, LinesAreSharedWithTheHost) {
  Append(OLESTR("a"));
  ComPtr<Scripting::IDictionary> dict = LineAt(0);
  UniqueVariant key, value;
  key = String(kSource);
  value = String(OLESTR("changed by the host"));
  ASSERT_HR(S_OK, dict->put_Item(key.get(), value.get()));
  EXPECT_EQ("changed by the host", Info(0));
}
