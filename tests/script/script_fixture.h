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
  void SetUp() override { ASSERT_HR(S_OK, Create(CLSID_Script, IID_IScript4, &script_)); }
  void TearDown() override {
    if (script_) script_->Release();
    ModuleTest::TearDown();
  }

  LONG Size() {
    LONG n = -1;
    EXPECT_HR(S_OK, script_->get_Size(&n));
    return n;
  }

  bool Dirty() {
    IPersistFile* file = nullptr;
    EXPECT_HR(S_OK, script_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    HRESULT hr = file->IsDirty();
    file->Release();
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
    return hr == S_OK;
  }

  // One BSTR owned by the test, with an explicit length.
  BSTR Text(const WCHAR* s, int length = -1) {
    owned_.emplace_back();
    BSTR b = length < 0 ? SysAllocString(s) : SysAllocStringLen(s, static_cast<UINT>(length));
    *owned_.back().out() = b;
    return b;
  }

  // The value under key of line i as text, or "<E_FAIL>"-style failure text.
  std::string Info(LONG i, const WCHAR* key = kSource) {
    BSTR value = nullptr;
    HRESULT hr = script_->GetLineInfo(i, Text(key), &value);
    if (FAILED(hr)) return "<" + HrText(hr) + ">";
    std::string text = Narrow(value);
    SysFreeString(value);
    return text;
  }

  std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (LONG i = 0; i < Size(); ++i) out.push_back(Info(i));
    return out;
  }

  void Append(const WCHAR* text) { ASSERT_HR(S_OK, script_->AppendScriptLine(Text(text))); }

  IScript4* script_ = nullptr;
  std::deque<Bstr> owned_;  // stable addresses
};

using Lines = std::vector<std::string>;

}  // namespace zantest
