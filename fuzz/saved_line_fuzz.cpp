// One line of a saved script file, as any text: parsing never crashes, and
// what a parsed line renders parses back to a line that renders the same
// (a saved file reads back as it was written), unless its information
// holds a piece of the format's marks, which it cannot escape.
#include <string>
#include <vector>

#include "base/com_ptr.h"
#include "dictionary/zan_dictionary.h"
#include "script/saved_line.h"
#include "support/marks.h"

namespace {

// Parses text and renders the line again; marked tells whether its
// information holds a piece of the format's marks.
bool Reparse(const WString& text, WString* rendered, bool* marked) {
  zan::ComPtr<Scripting::IDictionary> line;
  std::vector<LineTextEntry> entries;
  try {
    if (FAILED(MakeSavedLine(text.c_str(), text.size(), &entries, line.put()))) return false;
    *marked = zanfuzz::LineHoldsAMark(line.get());
    return SUCCEEDED(RenderSavedLine(CLineView(line.get()), rendered));
  } catch (...) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WString text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const WCHAR unit = static_cast<WCHAR>(data[i] | (data[i + 1] << 8));
    if (unit == 0 || unit == u'\r' || unit == u'\n') continue;  // a read line holds neither
    text.push_back(unit);
  }
  WString once, twice;
  bool marked = false, markedAgain = false;
  if (!Reparse(text, &once, &marked) || !Reparse(once, &twice, &markedAgain)) return 0;
  if (!marked && once != twice) __builtin_trap();
  return 0;
}
