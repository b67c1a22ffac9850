// The Script object: a script held as an ordered store of line objects,
// each a dictionary of named information with its text under the source
// key. Hosts reach it through IScript to IScript4 (one vtable).
#pragma once

#include "ZanScript_h.h"
#include "base/unique_variant.h"
#include "line_array.h"
#include "textio/file_encoding.h"
#include "framework/com_object.h"
#include "framework/connection_point.h"

// The one connection point of a script: its subscribers to _IScriptDataEvents.
using CProxy_IScriptDataEvents = CConnectionPoint<_IScriptDataEvents>;

class CScript : public CComObjectRootEx<CScript>,
                public IScript4,
                public IPersistFile,
                public IScriptData,
                public IConnectionPointContainer {
 public:
  using Interfaces = zan::InterfaceList<IScript4, IScript, IScript2, IScript3, IPersistFile, IScriptData,
                                        IConnectionPointContainer>;
  // Creation check: the platform dictionary's ProgID must resolve.
  HRESULT FinalConstruct();
  // Lines may be host objects that call back while they are released.
  // Subscribers are released without being told.
  void FinalRelease() noexcept {
    lines_.Clear();
    events_.ReleaseAll();
  }

  // IScript
  HRESULT STDMETHODCALLTYPE get_Size(LONG* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Line(LONG lIndex, IDispatch** pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Line(LONG lIndex, IDispatch* newVal) noexcept override;
  HRESULT STDMETHODCALLTYPE SetLineInfo(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept override;
  HRESULT STDMETHODCALLTYPE GetLineInfo(LONG lIndex, BSTR bstrInfo, BSTR* bstrVal) noexcept override;
  HRESULT STDMETHODCALLTYPE Empty() noexcept override;
  HRESULT STDMETHODCALLTYPE get_IsEmpty(LONG* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE UpdateLineInfo(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveLine(LONG lIndex) noexcept override;
  HRESULT STDMETHODCALLTYPE DeleteLineInfo(LONG lIndex, BSTR bstrInfo) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Script(LONG lIndex, BSTR* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE AppendScriptLine(BSTR bstrScript) noexcept override;
  HRESULT STDMETHODCALLTYPE get_ConcatScriptLines(BSTR* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE UpdateFromScript(IUnknown* pUnk, ULONG dwAction, LONG lFirstLine,
                                             LONG lNumLines) noexcept override;
  HRESULT STDMETHODCALLTYPE get_ConcatScriptLinesWithComments(BSTR* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE SetNoDirty() noexcept override;
  HRESULT STDMETHODCALLTYPE ReplaceScriptStr(BSTR OldStr, BSTR NewStr, LONG lLineIndex) noexcept override;
  // IScript2
  HRESULT STDMETHODCALLTYPE Resize(LONG nNewSize) noexcept override;
  HRESULT STDMETHODCALLTYPE SetLineInfoBSTR(LONG lIndex, BSTR bstrInfo, BSTR bstrVal) noexcept override;
  HRESULT STDMETHODCALLTYPE InsertScriptLine(LONG lIndex, BSTR bstrScript) noexcept override;
  // IScript3
  HRESULT STDMETHODCALLTYPE SetLine(LONG lIndex, IDispatch* pVal) noexcept override;
  // IScript4
  HRESULT STDMETHODCALLTYPE get_SaveEncoding(LONG* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE put_SaveEncoding(LONG newVal) noexcept override;
  HRESULT STDMETHODCALLTYPE SetDirty(LONG bDirty) noexcept override;

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) noexcept override;
  HRESULT STDMETHODCALLTYPE IsDirty() noexcept override;
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD dwMode) noexcept override;
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) noexcept override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR pszFileName) noexcept override;
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) noexcept override;

  // IScriptData
  HRESULT STDMETHODCALLTYPE ApplyUpdate(ScriptUpdateInfo* pInfo, IUnknown* pUnk) noexcept override;
  HRESULT STDMETHODCALLTYPE CreateCopy(ScriptUpdateInfo* pInfo, IScript** ppScript) noexcept override;
  HRESULT STDMETHODCALLTYPE GetLineScript(LONG lIndex, BSTR* pVal) noexcept override;
  HRESULT STDMETHODCALLTYPE SetCurrentLine(LONG lLine) noexcept override;
  HRESULT STDMETHODCALLTYPE GetCurrentLine(LONG* plLine) noexcept override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) noexcept override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) noexcept override;

 protected:
  // The legacy configuration's get_Line answers S_OK for a null out-pointer.
  bool nullLineOutIsSuccess_ = false;

 private:
  // 0 <= index <= Size.
  bool IsValidPosition(LONG index) const { return index >= 0 && index <= lines_.size(); }
  // Removes count lines from first when both ends are positions of the
  // script and the range runs forwards, and sets the dirty flag; otherwise
  // changes nothing and answers false.
  bool RemoveRange(LONG first, LONG count);
  // Inserts a new line holding text under the source key; raises
  // E_OUTOFMEMORY.
  HRESULT InsertTextLine(LONG index, const OLECHAR* text);
  // Inserts line (which may be null) before index, or at the end.
  HRESULT InsertLine(LONG index, IDispatch* line) noexcept;
  // SetLineInfoBSTR: stores text under name in line index, or in a new
  // line at the end position. StoreLineInfoText (SetLineInfo) stores
  // copies of both up to their first NUL.
  HRESULT StoreLineInfo(LONG index, BSTR name, BSTR text) noexcept;
  HRESULT StoreLineInfoText(LONG index, BSTR name, BSTR text) noexcept;
  // GetLineInfo: a copy of the text under name in line index.
  HRESULT ReadLineInfo(LONG index, BSTR name, BSTR* out) const noexcept;
  // get_Script: the text of line index, or of the current line for -1.
  HRESULT ScriptText(LONG index, BSTR* out) const noexcept;
  // UpdateFromScript, for data exchange as for a caller.
  HRESULT UpdateLines(IUnknown* source, ULONG action, LONG first, LONG count) noexcept;
  // The line at index as a dictionary: null for the end position, a null
  // line, or one that is not a dictionary.
  HRESULT LineDictionary(LONG index, Scripting::IDictionary** out) const;
  // The dictionary of line index and a copy of name as a key, when the line
  // holds that key: E_FAIL for no line or no such key, or the dictionary's
  // own failure.
  HRESULT FindLineInfo(LONG index, BSTR name, Scripting::IDictionary** line, zan::UniqueVariant* key) const;

  // Set through data exchange; -1 until then.
  LONG currentLine_ = -1;
  CLineArray lines_;
  bool dirty_ = false;
  LONG saveEncoding_ = FE_UTF8;
  CProxy_IScriptDataEvents events_{static_cast<IConnectionPointContainer*>(this)};
};
