// A script with lines and line information, saved, loaded into a second
// script, and both printed.
#include <ZanScriptHost.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Ends the program with the call that failed.
static void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

// The script's text is UTF-16; print it as UTF-8.
static void Print(BSTR text) {
  int units = static_cast<int>(SysStringLen(text));
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, units, &utf8[0], bytes, nullptr, nullptr);
  std::fputs(utf8.c_str(), stdout);
}

static void PrintScript(const char* title, IScript4* script) {
  LONG size = 0;
  Check(script->get_Size(&size), "Size");
  std::printf("%s: %ld lines\n", title, static_cast<long>(size));
  BSTR text = nullptr;
  Check(script->get_ConcatScriptLinesWithComments(&text), "ConcatScriptLinesWithComments");
  Print(text);
  SysFreeString(text);
  BSTR key = SysAllocString(OLESTR("author"));
  BSTR value = nullptr;
  Check(script->GetLineInfo(1, key, &value), "GetLineInfo");
  std::fputs("author of line 1: ", stdout);
  Print(value);
  std::fputs("\n", stdout);
  SysFreeString(value);
  SysFreeString(key);
}

static IScript4* NewScript() {
  IScript4* script = nullptr;
  Check(CoCreateInstance(CLSID_Script, nullptr, CLSCTX_INPROC_SERVER, IID_IScript4,
                         reinterpret_cast<void**>(&script)),
        "creating a Script");
  return script;
}

static void SetInfo(IScript4* script, long line, const OLECHAR* key, const OLECHAR* value) {
  BSTR k = SysAllocString(key);
  BSTR v = SysAllocString(value);
  Check(script->SetLineInfo(line, k, v), "SetLineInfo");
  SysFreeString(v);
  SysFreeString(k);
}

int main() {
  Check(CoInitialize(nullptr), "CoInitialize");
  Check(ZanScriptRegisterForProcess(), "registering ZanScript");
  const OLECHAR* file = OLESTR("example.script");

  IScript4* written = NewScript();
  BSTR lines = SysAllocString(OLESTR("greet \"Grüße\"\r\nwait 2\r\nquit"));
  Check(written->AppendScriptLine(lines), "AppendScriptLine");
  SysFreeString(lines);
  // Saved values lose white space at their ends, so this one comes back
  // without its leading blanks.
  SetInfo(written, 0, OLESTR("script comments"), OLESTR("  // says hello"));
  SetInfo(written, 1, OLESTR("author"), OLESTR("Ana"));
  IPersistFile* saver = nullptr;
  Check(written->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&saver)), "IPersistFile");
  Check(saver->Save(file, TRUE), "Save");
  saver->Release();

  IScript4* loaded = NewScript();
  IPersistFile* loader = nullptr;
  Check(loaded->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&loader)), "IPersistFile");
  Check(loader->Load(file, STGM_READ), "Load");
  loader->Release();

  PrintScript("written", written);
  PrintScript("loaded", loaded);
  loaded->Release();
  written->Release();
  CoUninitialize();
  return 0;
}
