// A Script object created through the library's class object, with
// helpers that read it back the way a host does.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "support/module_fixture.h"

namespace zantest {

inline const WCHAR* kSource = OLESTR("script source");

class ScriptTest : public ModuleTest {
 protected:
  void SetUp() override { ASSERT_HR(S_OK, Create(CLSID_Script, &script_)); }
  void TearDown() override {
    script_.Reset();
    owned_.clear();
    ModuleTest::TearDown();
  }

  LONG Size() {
    LONG n = -1;
    EXPECT_HR(S_OK, script_->get_Size(&n));
    return n;
  }

  bool Dirty() {
    zan::ComPtr<IPersistFile> file;
    EXPECT_HR(S_OK, script_.As(IidOf<IPersistFile>(), &file));
    HRESULT hr = file->IsDirty();
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
    return hr == S_OK;
  }

  // One BSTR owned by the test, with an explicit length.
  BSTR Text(const WCHAR* s, int length = -1) {
    owned_.emplace_back(length < 0 ? SysAllocString(s) : SysAllocStringLen(s, static_cast<UINT>(length)));
    return owned_.back().get();
  }

  // The value under key of line i as text, or "<E_FAIL>"-style failure text.
  std::string Info(LONG i, const WCHAR* key = kSource) {
    zan::UniqueBstr value;
    HRESULT hr = script_->GetLineInfo(i, Text(key), value.put());
    if (FAILED(hr)) return "<" + HrText(hr) + ">";
    return Narrow(value.get());
  }

  std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (LONG i = 0; i < Size(); ++i) out.push_back(Info(i));
    return out;
  }

  void Append(const WCHAR* text) { ASSERT_HR(S_OK, script_->AppendScriptLine(Text(text))); }

  // The line at i as the host sees its dictionary.
  zan::ComPtr<Scripting::IDictionary> LineAt(LONG i) {
    zan::ComPtr<IDispatch> line;
    EXPECT_HR(S_OK, script_->get_Line(i, line.put()));
    zan::ComPtr<Scripting::IDictionary> dict;
    if (line) {
      EXPECT_HR(S_OK, line.As(Scripting::IID_IDictionary, &dict));
    }
    return dict;
  }

  zan::ComPtr<IScript4> script_;
  std::deque<zan::UniqueBstr> owned_;  // stable addresses
};

using Lines = std::vector<std::string>;

}  // namespace zantest
