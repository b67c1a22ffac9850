#include "script_load.h"

#include <cstring>
#include <new>

#include "base/unique_bstr.h"
#include "script/saved_line.h"
#include "textio/encoded_text_file.h"

HRESULT STDMETHODCALLTYPE CScriptLoad::get_ConcatScriptLines(BSTR* pVal) noexcept {
  if (!pVal) return E_POINTER;
  // An empty, non-null string before any line; null when the copy cannot be made.
  *pVal = SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size()));
  return S_OK;
}

void CScriptLoad::KeepLine(size_t start) {
  // Cut only the saved form of line information: the last marker with a
  // pair separator somewhere after it. The kept text is then trimmed at
  // both ends; a line without it stays as it is. A last marker with nothing
  // after it is the one a save puts behind a text it keeps whole: the text
  // before it is kept as it stands, as a Script reads it.
  const OLECHAR* line = text_.data() + start;  // terminated: the string's own NUL
  const OLECHAR* begin = line;
  const OLECHAR* end = text_.data() + text_.size();
  const SavedLineParts parts = SplitSavedLine(line, static_cast<size_t>(end - line));
  if (parts.info && !*parts.info) {
    end = parts.textEnd;
  } else if (parts.pairs) {
    end = parts.textEnd;
    TrimBlanks(&begin, &end);
  }
  const size_t kept = static_cast<size_t>(end - begin);
  if (begin != line) std::memmove(text_.data() + start, begin, kept * sizeof(OLECHAR));
  text_.resize(start + kept);
  text_.push_back(OLESTR('\n'));
}

HRESULT STDMETHODCALLTYPE CScriptLoad::Load(LPCOLESTR pszFileName, DWORD) noexcept {
  try {
    CEncodedTextFile file;
    if (!pszFileName || !file.Open(pszFileName, OM_READ, FE_UTF8)) return E_FAIL;
    // A file never holds more characters than bytes: with room for them the
    // text is never copied while it grows. Only a hint; without it the text
    // grows as it must.
    int64_t bytes = file.RemainingBytes();
    if (bytes > 0 && static_cast<uint64_t>(bytes) < text_.max_size() - text_.size()) {
      try {
        text_.reserve(text_.size() + static_cast<size_t>(bytes));
      } catch (const std::bad_alloc&) {
      }
    }
    while (!file.AtEnd()) {
      // The recorded length: a line of one unit or less is skipped (in
      // UTF-16 files that includes one-character lines). A failed line adds
      // nothing; a line cut short by memory is taken out again.
      const size_t start = text_.size();
      UINT recorded = 0;
      try {
        if (!file.ReadLineText(&text_, true, &recorded)) continue;
        if (recorded > 1) {
          KeepLine(start);
        } else {
          text_.resize(start);
        }
      } catch (...) {
        text_.resize(start);
        throw;
      }
    }
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}
