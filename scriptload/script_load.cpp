#include "script_load.h"

#include "base/unique_bstr.h"
#include "script/saved_line.h"
#include "textio/encoded_file_line_reader.h"

HRESULT STDMETHODCALLTYPE CScriptLoad::get_ConcatScriptLines(BSTR* pVal) noexcept {
  if (!pVal) return E_POINTER;
  // An empty, non-null string before any line; null when the copy cannot be made.
  *pVal = SysAllocStringLen(text_.buffer() ? text_.buffer() : OLESTR(""), static_cast<UINT>(text_.length()));
  return S_OK;
}

void CScriptLoad::AppendLine(const OLECHAR* line) {
  // Cut only the saved form of line information: the last marker with a
  // pair separator somewhere after it. The kept text is then trimmed at
  // both ends; a line without it stays as it is. A last marker with nothing
  // after it is the one a save puts behind a text it keeps whole: the text
  // before it is kept as it stands, as a Script reads it.
  const OLECHAR* begin = line;
  const OLECHAR* end = line + WcsLen(line);
  const OLECHAR* marker = LastLineInfoMarker(line);
  if (marker && marker + WcsLen(kLineInfoMarker) == end) {
    end = marker;
  } else if (marker && WcsStr(marker, kPairSeparator)) {
    end = marker;
    TrimBlanks(&begin, &end);
  }
  if (text_.Append(begin, static_cast<int>(end - begin)) != 0 || text_.AppendChar(OLESTR('\n')) != 0)
    zan::ThrowHr(E_OUTOFMEMORY);
}

HRESULT STDMETHODCALLTYPE CScriptLoad::Load(LPCOLESTR pszFileName, DWORD) noexcept {
  try {
    CEncodedFile_LineReader file;
    if (!pszFileName || !file.Open(pszFileName, OM_READ, FE_UTF8)) return E_FAIL;
    // A file never holds more characters than bytes: with room for them the
    // text is never copied while it grows. Only a hint; without it the text
    // grows as it must.
    int64_t bytes = file.RemainingBytes();
    if (bytes > 0) text_.Reserve(text_.length() + bytes);
    WString line;  // one buffer for every line
    while (!file.AtEnd()) {
      // The recorded length: a line of one unit or less is skipped (in
      // UTF-16 files that includes one-character lines).
      UINT recorded = 0;
      if (file.ReadLineText(&line, true, &recorded) && recorded > 1) AppendLine(line.c_str());
    }
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}
