// The script as text: one line's text, the whole script as one string,
// replacing strings, and copying ranges of lines from another script. The
// text itself is built by line_text; here the arguments are checked and the
// dirty flag kept.
#include <cstdint>
#include <vector>

#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_bstr.h"
#include "line_text.h"
#include "script.h"
#include "script_keys.h"
#include "textio/bstr_text.h"

HRESULT STDMETHODCALLTYPE CScript::get_Script(LONG lIndex, BSTR* pVal) noexcept { return ScriptText(lIndex, pVal); }

HRESULT CScript::ScriptText(LONG index, BSTR* out) const noexcept {
  if (index == -1) index = currentLine_;
  try {
    zan::UniqueBstr key = zan::UniqueBstr::FromText(kSourceKey);
    return ReadLineInfo(index, key.get(), out);
  }
  ZAN_CATCH_RETURN()
}

namespace {

// Both concatenations: *out is written only when the whole text is there.
HRESULT Concatenation(const CLineArray& lines, bool withComments, BSTR* out) {
  zan::UniqueBstr text;
  HRESULT hr = ConcatenateLines(lines, withComments, &text);
  if (SUCCEEDED(hr)) *out = text.release();
  return hr;
}

}  // namespace

HRESULT STDMETHODCALLTYPE CScript::get_ConcatScriptLines(BSTR* pVal) noexcept {
  if (!pVal) return E_POINTER;
  try {
    return Concatenation(lines_, false, pVal);
  } catch (...) {
    // This member has always answered E_FAIL for any failure of the join,
    // out of memory included (its sibling with comments maps each one).
    ZAN_RETURN_HR(E_FAIL);
  }
}

HRESULT STDMETHODCALLTYPE CScript::get_ConcatScriptLinesWithComments(BSTR* pVal) noexcept {
  if (!pVal) return E_POINTER;
  try {
    return Concatenation(lines_, true, pVal);
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CScript::ReplaceScriptStr(BSTR OldStr, BSTR NewStr, LONG lLineIndex) noexcept {
  try {
    LONG first = lLineIndex, last = lLineIndex;
    if (lLineIndex == -1) {
      first = 0;
      last = lines_.size() - 1;
    }
    zan::UniqueBstr key = zan::UniqueBstr::FromText(kSourceKey);
    // A line without text, or an index without a line, has a null text,
    // and the per-line results are not reported.
    for (int64_t index = first; index <= last; ++index) {
      const LONG i = static_cast<LONG>(index);
      zan::UniqueBstr found;
      ReadLineInfo(i, key.get(), found.put());
      CBstrText text = CBstrText::Attach(found.release());
      if (OldStr) {
        text.Replace(OldStr, NewStr);
      } else {
        text = CBstrText::Attach(SysAllocString(NewStr));
        if (NewStr && !text.get()) zan::ThrowHr(E_OUTOFMEMORY);
      }
      StoreLineInfoText(i, key.get(), text.get());
    }
    dirty_ = true;
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

namespace {

// What UpdateFromScript does with the source and the range.
enum UpdateAction : ULONG {
  kInsert = 0,
  kReplaceRange = 1,
  kRemoveRange = 2,
  kReplaceAll = 3,
  kLastAction = 5,  // 4 and 5 do nothing
};

// The source's line objects that answer IDictionary, taken before this
// script changes, so a script that is its own source inserts its lines as
// they were. A line that the source does not hand out is skipped.
std::vector<zan::ComPtr<Scripting::IDictionary>> SourceLines(IScript* source, LONG count) {
  std::vector<zan::ComPtr<Scripting::IDictionary>> lines;
  lines.reserve(static_cast<size_t>(count > 0 ? count : 0));
  for (LONG i = 0; i < count; ++i) {
    zan::ComPtr<IDispatch> line;
    HRESULT got = source->get_Line(i, line.put());
    zan::ComPtr<Scripting::IDictionary> dictionary;
    if (line && SUCCEEDED(line.As(&dictionary)) && SUCCEEDED(got))
      lines.push_back(std::move(dictionary));
  }
  return lines;
}

}  // namespace

bool CScript::RemoveRange(LONG first, LONG count) {
  const int64_t end = int64_t{first} + count;
  // Both ends must be positions of the script, and the end may not lie
  // before the start: no line outside the range is ever touched.
  if (first < 0 || first > lines_.size() || end < first || end > lines_.size()) return false;
  lines_.Erase(first, count);
  dirty_ = true;
  return true;
}

HRESULT STDMETHODCALLTYPE CScript::UpdateFromScript(IUnknown* pUnk, ULONG dwAction, LONG lFirstLine,
                                                     LONG lNumLines) noexcept {
  return UpdateLines(pUnk, dwAction, lFirstLine, lNumLines);
}

HRESULT CScript::UpdateLines(IUnknown* pUnk, ULONG dwAction, LONG lFirstLine, LONG lNumLines) noexcept {
  try {
    zan::ComPtr<IScript> source;
    if (pUnk) pUnk->QueryInterface(IID_PPV_ARGS(source.put()));
    if (dwAction != kRemoveRange && pUnk && !source) return E_FAIL;
    LONG count = 0;
    if (dwAction != kRemoveRange && source) {
      if (FAILED(source->get_Size(&count)) || lFirstLine > lines_.size()) lFirstLine = lines_.size();
    }
    if (dwAction > kLastAction) return E_INVALIDARG;
    if (dwAction == kRemoveRange) {
      RemoveRange(lFirstLine, lNumLines);
      return S_OK;
    }
    if (dwAction != kInsert && dwAction != kReplaceRange && dwAction != kReplaceAll) return S_OK;
    if (!source) return E_FAIL;
    const auto inserted = SourceLines(source.get(), count);
    if (dwAction == kReplaceRange) RemoveRange(lFirstLine, lNumLines);
    if (dwAction == kReplaceAll) lines_.Clear();
    // The position advances even where an insertion is refused.
    for (const auto& line : inserted) InsertLine(lFirstLine++, line.get());
    return S_OK;
  } catch (...) {
    // A refused update is E_FAIL whatever refused it, out of memory
    // included: the one failure this member has always given.
    ZAN_RETURN_HR(E_FAIL);
  }
}
