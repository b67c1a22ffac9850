// Not compiled: the forms cmake/check_idioms.cmake must find (marked BAD)
// and those it must let pass, read by the zan_idioms_self_* tests.
HRESULT Ids(IUnknown* unknown, zan::ComPtr<IUnknown> p, REFIID riid, void** ppv) {
  IDispatch* dispatch = nullptr;
  unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));  // BAD twice
  unknown->QueryInterface(IidOf<IDispatch>(), (void**)&dispatch);  // BAD twice
  unknown->QueryInterface(riid, p.put_void());  // BAD
  p.As(IidOf<IPersist>(), &persist);  // BAD
  unknown->QueryInterface(IID_PPV_ARGS(&dispatch));
  p.As(&persist);
  if (IsEqualGUID(riid, IidOf<IUnknown>())) return unknown->QueryInterface(riid, ppv);
  return S_OK;
}

HRESULT Results(IUnknown* unknown) {
  HRESULT hr = Call();
  if (FAILED(hr)) return hr;  // BAD
  if (FAILED(hr)) return E_UNEXPECTED;
  ZAN_RETURN_IF_FAILED(Call());
  try {
    Throws();
  } catch (...) {
    return E_FAIL;  // BAD
  }
  try {
    Throws();
  } catch (...) {
    // Anything thrown here means the host's callback failed.
    return E_FAIL;
  }
  return S_OK;
}

#if defined(ZAN_PLATFORM_WINDOWS)  // BAD
#endif
#ifdef _WIN32  // BAD
#endif
#  if !defined(__linux__) && X  // BAD
#endif
#if defined(ZAN_FEATURE)
#endif
