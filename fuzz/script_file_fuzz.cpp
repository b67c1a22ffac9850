// Any bytes as a saved script file: loading never crashes or leaks, and
// what loaded saves (in the encoding the file's mark names) to a file that
// loads back to as many lines (less an empty last line, which a file does
// not keep), with the same texts and comments unless some information
// holds the format's own marks, and saves to the same bytes again.
#include <string>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "script/script.h"
#include "support/fuzz_file.h"
#include "support/marks.h"

namespace {

using zan::ComPtr;

ComPtr<IScript4> Load(const WString& name) {
  ComPtr<IScript4> script;
  ComPtr<IPersistFile> file;
  if (FAILED(zan::CreateInstance<CScript>(nullptr, IID_IScript4, script.put_void())) ||
      FAILED(script->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Load(name.c_str(), STGM_READ)))
    return nullptr;
  return script;
}

bool Save(IScript4* script, LONG encoding, const WString& name) {
  ComPtr<IPersistFile> file;
  return SUCCEEDED(script->put_SaveEncoding(encoding)) &&
         SUCCEEDED(script->QueryInterface(IID_IPersistFile, file.put_void())) &&
         SUCCEEDED(file->Save(name.c_str(), TRUE));
}

LONG Size(IScript4* script) {
  LONG n = -1;
  script->get_Size(&n);
  return n;
}

WString Joined(IScript4* script) {
  zan::UniqueBstr text;
  script->get_ConcatScriptLinesWithComments(text.put());
  return text.get() ? WString(text.get(), text.length()) : WString();
}

// Whether a key or value of the script holds a piece of the format's marks.
bool InformationHoldsAMark(IScript4* script) {
  for (LONG i = 0; i < Size(script); ++i) {
    ComPtr<IDispatch> object;
    ComPtr<Scripting::IDictionary> line;
    if (SUCCEEDED(script->get_Line(i, object.put())) && object &&
        SUCCEEDED(object->QueryInterface(Scripting::IID_IDictionary, line.put_void())) &&
        zanfuzz::LineHoldsAMark(line.get()))
      return true;
  }
  return false;
}

LONG EncodingOf(const uint8_t* data, size_t size) {
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return 2;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return 1;
  return 0;
}

// A file without a mark may begin, once its stripped CRs are gone, with a
// text whose bytes are a mark; it is refused rather than saved as a file that
// reads as another encoding.
bool RefusedAsAMark(LONG encoding) { return encoding == 0 && GetLastError() == ERROR_NO_UNICODE_TRANSLATION; }

void RoundTrip(const uint8_t* data, size_t size) {
  const WString input = zanfuzz::WriteInput("script_file", data, size);
  const WString once = input + OLESTR(".1"), twice = input + OLESTR(".2");
  ComPtr<IScript4> first = Load(input);
  if (!first) return;
  const LONG encoding = EncodingOf(data, size);
  if (!Save(first.get(), encoding, once)) {
    if (RefusedAsAMark(encoding)) return;
    __builtin_trap();
  }
  ComPtr<IScript4> second = Load(once);
  if (!second) __builtin_trap();
  // A last line with nothing in it is no line of the saved file.
  const LONG lost = Size(first.get()) - Size(second.get());
  if (lost != 0 && lost != 1) __builtin_trap();
  WString expected = Joined(first.get());
  if (lost) expected.pop_back();
  const bool exact = !InformationHoldsAMark(first.get());
  if (exact && Joined(second.get()) != expected) __builtin_trap();
  // Each save drops one empty last line; otherwise the second save is the
  // first, byte for byte.
  if (!Save(second.get(), encoding, twice)) __builtin_trap();
  ComPtr<IScript4> third = Load(twice);
  if (!third) __builtin_trap();
  const LONG lostAgain = Size(second.get()) - Size(third.get());
  if (lostAgain != 0 && lostAgain != 1) __builtin_trap();
  if (exact && lost == 0 && lostAgain == 0 && zanfuzz::ReadFile(once) != zanfuzz::ReadFile(twice))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const LONG strings = ZanLiveBstrCount();
  RoundTrip(data, size);
  if (ZanLiveBstrCount() != strings) __builtin_trap();  // a string leaked
  return 0;
}
