// Any bytes as a saved script file given to ScriptLoad: loading never
// crashes or leaks, and the text it gives is whole lines, each ended by a
// line feed, no more line feeds than the file has line ends.
#include <algorithm>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "scriptload/script_load.h"
#include "support/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const LONG strings = ZanLiveBstrCount();
  {
    const WString input = zanfuzz::WriteInput("script_load", data, size);
    zan::ComPtr<IScript> loader;
    zan::ComPtr<IPersistFile> file;
    if (FAILED(zan::CreateInstance<CScriptLoad>(nullptr, IID_IScript, loader.put_void())) ||
        FAILED(loader->QueryInterface(IID_IPersistFile, file.put_void())))
      return 0;
    const HRESULT hr = file->Load(input.c_str(), STGM_READ);
    if (hr != S_OK && hr != E_FAIL) __builtin_trap();
    zan::UniqueBstr text;
    if (loader->get_ConcatScriptLines(text.put()) != S_OK || !text.get()) __builtin_trap();
    const WCHAR* begin = text.get();
    const WCHAR* end = begin + text.length();
    if (begin != end && end[-1] != u'\n') __builtin_trap();
    const size_t lines = static_cast<size_t>(std::count(begin, end, u'\n'));
    // Lines end at CR or LF, and in UTF-16 also at the unit FFFF. A line's
    // text may hold CR or LF itself, decoded from an overlong UTF-8 form
    // (C0 8D, E0 80 8A, ...), whose last byte is counted too.
    size_t breaks = 0;
    for (size_t i = 0; i < size; ++i)
      breaks += data[i] == '\n' || data[i] == '\r' || data[i] == 0xFF || data[i] == 0x8A || data[i] == 0x8D;
    if (lines > breaks + 1) __builtin_trap();
  }
  if (ZanLiveBstrCount() != strings) __builtin_trap();
  return 0;
}
