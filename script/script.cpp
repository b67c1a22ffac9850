// The Script object's identity, creation check, document state and the
// operations that arrive with later parts of the document.
#include "script.h"

HRESULT CScript::FinalConstruct() {
  CLSID dictionary;
  return CLSIDFromProgID(OLESTR("Scripting.Dictionary"), &dictionary);
}

HRESULT STDMETHODCALLTYPE CScript::SetNoDirty() noexcept {
  dirty_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::get_SaveEncoding(LONG* pVal) noexcept {
  if (!pVal) return E_POINTER;
  *pVal = saveEncoding_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::put_SaveEncoding(LONG newVal) noexcept {
  saveEncoding_ = newVal;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::SetDirty(LONG bDirty) noexcept {
  dirty_ = bDirty != 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::GetClassID(CLSID* pClassID) noexcept {
  if (!pClassID) return E_POINTER;
  *pClassID = CLSID_Script;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::IsDirty() noexcept { return dirty_ ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CScript::SaveCompleted(LPCOLESTR) noexcept { return E_NOTIMPL; }

// No operation assigns a current file name, so there is never one to hand out.
HRESULT STDMETHODCALLTYPE CScript::GetCurFile(LPOLESTR* ppszFileName) noexcept {
  if (ppszFileName) *ppszFileName = nullptr;
  return E_FAIL;
}

// Persistence arrives with its own part of the document.
HRESULT STDMETHODCALLTYPE CScript::Load(LPCOLESTR, DWORD) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CScript::Save(LPCOLESTR, BOOL) noexcept { return E_NOTIMPL; }
