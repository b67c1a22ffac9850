// The line store: positions, insertion, replacement, removal, resizing and
// appending text as lines.
#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "dictionary/zan_dictionary.h"
#include "line_splitter.h"
#include "script.h"
#include "script_keys.h"

HRESULT STDMETHODCALLTYPE CScript::get_Size(LONG* pVal) noexcept {
  if (!pVal) return E_FAIL;
  *pVal = lines_.size();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::get_Line(LONG lIndex, IDispatch** pVal) noexcept {
  if (!IsValidPosition(lIndex) || lIndex == lines_.size()) return E_FAIL;
  if (!pVal) return nullLineOutIsSuccess_ ? S_OK : E_POINTER;
  *pVal = lines_.at(lIndex);
  if (*pVal) (*pVal)->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::put_Line(LONG lIndex, IDispatch* newVal) noexcept {
  return InsertLine(lIndex, newVal);
}

HRESULT CScript::InsertLine(LONG index, IDispatch* line) noexcept {
  if (!IsValidPosition(index)) return E_FAIL;
  if (!lines_.Insert(index, line)) return E_OUTOFMEMORY;
  dirty_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::Empty() noexcept {
  lines_.Clear();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::get_IsEmpty(LONG* pVal) noexcept {
  if (!pVal) return E_POINTER;
  *pVal = lines_.size() == 0 ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::RemoveLine(LONG lIndex) noexcept {
  if (!IsValidPosition(lIndex) || lIndex == lines_.size()) return E_FAIL;
  lines_.Remove(lIndex);
  dirty_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::SetLine(LONG lIndex, IDispatch* pVal) noexcept {
  if (!pVal) return E_POINTER;
  if (!IsValidPosition(lIndex)) return E_FAIL;
  if (lIndex == lines_.size()) {
    if (!lines_.Insert(lIndex, pVal)) return E_OUTOFMEMORY;
  } else {
    lines_.Replace(lIndex, pVal);
  }
  dirty_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::AppendScriptLine(BSTR bstrScript) noexcept {
  try {
    CLineSplitter text(bstrScript);
    zan::UniqueBstr key = zan::UniqueBstr::FromText(kSourceKey);
    // Each line at the end position of its moment; the individual results
    // are not reported.
    if (text.IsEmptyText()) {
      zan::UniqueBstr empty = zan::UniqueBstr::FromText(OLESTR(""));
      StoreLineInfo(lines_.size(), key.get(), empty.get());
      return S_OK;
    }
    for (const OLECHAR* line : text.Lines()) {
      zan::UniqueBstr value = zan::UniqueBstr::FromText(line);
      StoreLineInfo(lines_.size(), key.get(), value.get());
    }
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

HRESULT CScript::InsertTextLine(LONG index, const OLECHAR* text) {
  if (!IsValidPosition(index)) return E_FAIL;
  // The line and its text in one allocation; only memory exhaustion stops
  // the insertion.
  zan::ComPtr<Scripting::IDictionary> line;
  const LineTextEntry entry{kSourceKey, static_cast<UINT>(WcsLen(kSourceKey)), text,
                            static_cast<UINT>(WcsLen(text))};
  if (FAILED(CreateLineDictionary(&entry, 1, line.put()))) return E_OUTOFMEMORY;
  if (!lines_.Insert(index, line.get())) return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::InsertScriptLine(LONG lIndex, BSTR bstrScript) noexcept {
  try {
    CLineSplitter text(bstrScript);
    if (text.IsEmptyText()) return InsertTextLine(lIndex, OLESTR(""));
    for (const OLECHAR* line : text.Lines()) {
      ZAN_RETURN_IF_FAILED(InsertTextLine(lIndex++, line));
    }
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CScript::Resize(LONG nNewSize) noexcept {
  const LONG size = lines_.size();
  if (nNewSize == size) return S_OK;
  // Room for the new lines first, so a size that cannot be had changes
  // nothing at all.
  if (nNewSize > size && !lines_.Reserve(nNewSize)) return E_OUTOFMEMORY;
  dirty_ = true;
  if (nNewSize <= 0) return Empty();
  if (nNewSize < size) {
    lines_.Truncate(nNewSize);
    return S_OK;
  }
  try {
    zan::UniqueBstr key = zan::UniqueBstr::FromText(kSourceKey);
    zan::UniqueBstr empty = zan::UniqueBstr::FromText(OLESTR(""));
    for (LONG i = size; i < nNewSize; ++i) {
      HRESULT hr = StoreLineInfo(i, key.get(), empty.get());
      // Only a line that could not be made at all ends the growth.
      if (FAILED(hr) && lines_.size() == i) return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}
