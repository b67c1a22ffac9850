// Data exchange between scripts: updates taken from another script, copies
// that share their lines, and a current line, with the subscribers of
// _IScriptDataEvents told of updates and of the current line. Only these two
// operations notify; edits through IScript do not.
#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "script.h"

namespace {

constexpr ULONG kReplaceAll = 3;

}  // namespace

HRESULT STDMETHODCALLTYPE CScript::ApplyUpdate(ScriptUpdateInfo* pInfo, IUnknown* pUnk) noexcept {
  // The call's own record: the subscribers see it, not the caller's.
  ScriptUpdateInfo info = {1, 0, 0, 0, kReplaceAll, 0};
  if (pInfo) {
    info = *pInfo;
  } else {
    info.lNumLines = lines_.size();
  }
  UpdateLines(pUnk, info.dwAction, info.lFirstLine, info.lNumLines);
  events_.NotifyAll([&](_IScriptDataEvents* events) { events->OnScriptUpdate(&info, pUnk); });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::CreateCopy(ScriptUpdateInfo* pInfo, IScript** ppScript) noexcept {
  const LONG size = lines_.size();
  if (!ppScript) return E_POINTER;
  *ppScript = nullptr;
  if (pInfo) {
    pInfo->lReserved1 = 0;
    pInfo->lNumLines = size;
    pInfo->lFirstLine = 0;
    pInfo->dwAction = kReplaceAll;
  }
  // Made through the registry, as any client would make it.
  CLSID clsid;
  ZAN_RETURN_IF_FAILED(CLSIDFromProgID(OLESTR("Korvane.Script"), &clsid));
  zan::ComPtr<IScript> copy;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(copy.put())))) return E_FAIL;
  copy->UpdateFromScript(static_cast<IScript*>(this), kReplaceAll, 0, size);
  *ppScript = copy.Detach();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::GetLineScript(LONG lIndex, BSTR* pVal) noexcept {
  return ScriptText(lIndex, pVal);
}

HRESULT STDMETHODCALLTYPE CScript::SetCurrentLine(LONG lLine) noexcept {
  currentLine_ = lLine;
  events_.NotifyAll([lLine](_IScriptDataEvents* events) { events->OnCurrentLineChange(lLine); });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::GetCurrentLine(LONG* plLine) noexcept {
  if (!plLine) return E_POINTER;
  *plLine = currentLine_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CScript::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) noexcept {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  try {
    return CComEnum<IEnumConnectionPoints, IConnectionPoint*>::Create({&events_}, 0, ppEnum);
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CScript::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) noexcept {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  if (!IsEqualGUID(riid, IidOf<_IScriptDataEvents>())) return CONNECT_E_NOCONNECTION;
  *ppCP = &events_;
  events_.AddRef();
  return S_OK;
}
