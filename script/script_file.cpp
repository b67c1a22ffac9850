#include "script_file.h"

#include <memory>
#include <vector>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "dictionary/zan_dictionary.h"
#include "saved_line.h"
#include "textio/encoded_text_file.h"

namespace {

struct AbandonSave {
  void operator()(WFileSave* save) const noexcept { WAbandonSave(save); }
};
// A save left unfinished, by a failure or a raised one, leaves the target
// as it was and the reason for GetLastError.
using UniqueSave = std::unique_ptr<WFileSave, AbandonSave>;

}  // namespace

HRESULT SaveScriptFile(const CLineArray& lines, const OLECHAR* name, LONG encoding) {
  if (!name || !IsFileEncoding(encoding)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
  }
  UniqueSave save(WBeginSave(name));
  if (!save) return E_FAIL;
  CEncodedTextFile file;
  if (!file.Attach(WSaveStream(save.get()), encoding)) return E_FAIL;

  // Lines are separated as they always were: a line that is not a
  // dictionary is skipped without moving the count, and an empty last line
  // is not written. A line that cannot be rendered fails the save rather
  // than lose its text.
  const LONG count = lines.size();
  LONG written = 0;
  WString text;
  for (LONG i = 0; i < count; ++i) {
    // Held: a host's line may take itself out of the script while it is read.
    zan::ComPtr<IDispatch> object(lines.at(i));
    CLineView line(object.get());
    if (!line.IsLine()) continue;
    if (FAILED(RenderSavedLine(line, &text))) return E_FAIL;
    if (text.empty() && i == count - 1) break;
    if (!file.WriteLine(text.c_str(), written < count - 1)) return E_FAIL;
    ++written;
  }
  file.Close();
  return WCommitSave(save.release()) ? S_OK : E_FAIL;
}

HRESULT LoadScriptFile(const OLECHAR* name, CLineArray* lines) {
  CEncodedTextFile file;
  if (!name || !file.Open(name, OM_READ, FE_UTF8)) return E_FAIL;
  // One buffer for every line's text, one for its entries.
  WString read;
  std::vector<LineTextEntry> entries;
  while (!file.AtEnd()) {
    read.clear();
    if (!file.ReadLineText(&read, true)) continue;  // an unreadable line is left out
    // A line that cannot be held ends the load as the array's growth does:
    // a script is never loaded with a line missing.
    zan::ComPtr<Scripting::IDictionary> line;
    zan::ThrowIfFailed(MakeSavedLine(read.c_str(), read.size(), &entries, line.put()));
    if (!lines->Insert(lines->size(), line.get())) zan::ThrowHr(E_OUTOFMEMORY);
  }
  file.Close();
  return S_OK;
}
