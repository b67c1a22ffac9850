// The Script object's identity, creation check, document state and the
// operations that arrive with later parts of the document.
#include "script.h"

#include "script_keys.h"

zan::InterfaceMap<CScript> CScript::Interfaces() {
  static const zan::InterfaceEntry<CScript> map[] = {
      {&IID_IScript, zan::InterfaceOf<CScript, IScript4>},
      {&IID_IScript2, zan::InterfaceOf<CScript, IScript4>},
      {&IID_IScript3, zan::InterfaceOf<CScript, IScript4>},
      {&IID_IScript4, zan::InterfaceOf<CScript, IScript4>},
      {&IID_IPersistFile, zan::InterfaceOf<CScript, IPersistFile>},
  };
  return zan::MakeInterfaceMap(map);
}

HRESULT CScript::FinalConstruct() {
  try {
    savedKeyExclusions_.insert(kWithIdKey);
  } catch (...) {
    return zan::HResultFromCaught();
  }
  return CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &dictionaryClsid_);
}

HRESULT STDMETHODCALLTYPE CScript::SetNoDirty() {
  dirty_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::get_SaveEncoding(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = saveEncoding_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::put_SaveEncoding(LONG newVal) {
  saveEncoding_ = newVal;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::SetDirty(LONG bDirty) {
  dirty_ = bDirty != 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = CLSID_Script;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CScript::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }

// No operation assigns a current file name, so there is never one to hand out.
HRESULT STDMETHODCALLTYPE CScript::GetCurFile(LPOLESTR* ppszFileName) {
  if (ppszFileName) *ppszFileName = nullptr;
  return E_FAIL;
}

// Text operations and persistence arrive with their own parts of the
// document.
HRESULT STDMETHODCALLTYPE CScript::get_Script(LONG, BSTR*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::get_ConcatScriptLines(BSTR*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::UpdateFromScript(IUnknown*, ULONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::get_ConcatScriptLinesWithComments(BSTR*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::ReplaceScriptStr(BSTR, BSTR, LONG) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::Load(LPCOLESTR, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
