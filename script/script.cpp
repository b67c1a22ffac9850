// The Script object's identity, creation check, document state and its
// files.
#include "script.h"

#include "script_file.h"

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

// The file's lines come after those the script holds; the mode is not
// looked at. Loading is no edit: the script is clean afterwards.
HRESULT STDMETHODCALLTYPE CScript::Load(LPCOLESTR pszFileName, DWORD) noexcept {
  try {
    HRESULT hr = LoadScriptFile(pszFileName, &lines_);
    if (SUCCEEDED(hr)) dirty_ = false;
    return hr;
  }
  ZAN_CATCH_RETURN()
}

// No file name is remembered, whatever fRemember says.
HRESULT STDMETHODCALLTYPE CScript::Save(LPCOLESTR pszFileName, BOOL) noexcept {
  try {
    HRESULT hr = SaveScriptFile(lines_, pszFileName, saveEncoding_);
    if (SUCCEEDED(hr)) dirty_ = false;
    return hr;
  }
  ZAN_CATCH_RETURN()
}
