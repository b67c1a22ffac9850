// ScriptLoad: a light loader that reads saved script files and hands back
// their plain text, one line per LF, with the saved line information cut
// off, without building lines or dictionaries. Of the Script object's
// interfaces it implements only loading, the text and a current line.
#pragma once

#include "ZanScript_h.h"
#include "framework/com_object.h"

class CScriptLoad : public CComObjectRootEx<CScriptLoad>, public IScript, public IPersistFile, public IScriptData {
 public:
  using Interfaces = zan::InterfaceList<IScript, IPersistFile, IScriptData>;

  // IScript
  HRESULT STDMETHODCALLTYPE get_Size(LONG*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Line(LONG, IDispatch**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Line(LONG, IDispatch*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetLineInfo(LONG, BSTR, BSTR) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetLineInfo(LONG, BSTR, BSTR*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Empty() noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsEmpty(LONG*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateLineInfo(LONG, BSTR, BSTR) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveLine(LONG) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteLineInfo(LONG, BSTR) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Script(LONG, BSTR*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AppendScriptLine(BSTR) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConcatScriptLines(BSTR* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE UpdateFromScript(IUnknown*, ULONG, LONG, LONG) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConcatScriptLinesWithComments(BSTR*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetNoDirty() noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReplaceScriptStr(BSTR, BSTR, LONG) noexcept override { return E_NOTIMPL; }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD dwMode) noexcept override;
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) noexcept override { return E_NOTIMPL; }

  // IScriptData
  HRESULT STDMETHODCALLTYPE ApplyUpdate(ScriptUpdateInfo*, IUnknown*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateCopy(ScriptUpdateInfo*, IScript**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetLineScript(LONG, BSTR*) noexcept override { return E_NOTIMPL; }
  // Stored only: nobody is told.
  HRESULT STDMETHODCALLTYPE SetCurrentLine(LONG lLine) noexcept override {
    currentLine_ = lLine;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCurrentLine(LONG* plLine) noexcept override {
    if (!plLine) return E_POINTER;
    *plLine = currentLine_;
    return S_OK;
  }

 private:
  // Cuts the line read into text_ from start down to its kept text and
  // ends it with LF.
  void KeepLine(size_t start);

  LONG currentLine_ = -1;
  // The text of every line loaded, each followed by LF: the reader decodes
  // each line straight into it.
  WString text_;
};
