// A script fed arbitrary text and line information: appending, inserting,
// reading back and resizing never crash, and lines made from text read back
// as text no longer than what was given.
#include <string>

#include "base/com_ptr.h"
#include "script/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WString text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
  zan::ComPtr<IScript4> script;
  if (FAILED(zan::CreateInstance<CScript>(nullptr, IID_IScript4, script.put_void()))) return 0;
  BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  script->AppendScriptLine(b);
  script->InsertScriptLine(size % 3 == 0 ? 0 : 1, b);
  script->SetLineInfoBSTR(0, b, b);
  LONG count = 0;
  script->get_Size(&count);
  BSTR key = SysAllocString(OLESTR("script source"));
  for (LONG i = 0; i < count; ++i) {
    BSTR value = nullptr;
    // A line made by SetLineInfoBSTR under another key has no text.
    if (SUCCEEDED(script->GetLineInfo(i, key, &value)) && WcsLen(value ? value : OLESTR("")) > text.size())
      __builtin_trap();
    SysFreeString(value);
  }
  script->Resize(static_cast<LONG>(size % 7));
  SysFreeString(key);
  SysFreeString(b);
  return 0;
}
