// The connection point of one outgoing interface Events, part of the
// object that offers it (its container): subscribers in an array of slots
// (4 at the first subscription, doubling when full; a new subscriber takes
// the lowest empty slot and its cookie is the slot number + 1), and the walk
// that notifies them in slot order. The point's identity and lifetime are
// its container's.
#pragma once

#include <vector>

#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "com_enum.h"

template <class Events>
class CConnectionPoint final : public IConnectionPoint {
 public:
  explicit CConnectionPoint(IConnectionPointContainer* container) : container_(container) {}
  // Subscribers are released, not told.
  ~CConnectionPoint() { ReleaseAll(); }
  CConnectionPoint(const CConnectionPoint&) = delete;
  CConnectionPoint& operator=(const CConnectionPoint&) = delete;

  // Calls notify(Events*) on every subscriber, in slot order. A subscriber
  // may unsubscribe or subscribe anyone, or notify again, from its event:
  // the walk goes by slot number over the array as it is at each step, and
  // holds the subscriber it calls.
  template <class Notify>
  void NotifyAll(Notify notify) noexcept {
    for (size_t i = 0; i < slots_.size(); ++i) {
      IUnknown* slot = slots_[i];
      if (!slot) continue;
      zan::ComPtr<Events> events;
      // A subscriber that no longer answers for Events is passed over.
      if (FAILED(slot->QueryInterface(IID_PPV_ARGS(events.put())))) continue;
      notify(events.get());
    }
  }

  // Releases every subscriber without telling it; for the container's
  // FinalRelease.
  void ReleaseAll() noexcept {
    std::vector<IUnknown*> doomed;
    doomed.swap(slots_);
    for (IUnknown* slot : doomed)
      if (slot) slot->Release();
  }

  // IUnknown: the container's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(iid, IidOf<IUnknown>()) && !IsEqualGUID(iid, IidOf<IConnectionPoint>())) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return container_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return container_->Release(); }

  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) noexcept override {
    if (!pIID) return E_POINTER;
    *pIID = IidOf<Events>();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) noexcept override {
    if (!ppCPC) return E_POINTER;
    *ppCPC = container_;
    container_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) noexcept override {
    if (pdwCookie) *pdwCookie = 0;
    if (!pUnkSink || !pdwCookie) return E_POINTER;
    Events* events = nullptr;
    HRESULT hr = pUnkSink->QueryInterface(IID_PPV_ARGS(&events));
    if (hr == E_NOINTERFACE) return CONNECT_E_CANNOTCONNECT;
    ZAN_RETURN_IF_FAILED(hr);
    size_t slot = 0;
    while (slot < slots_.size() && slots_[slot]) ++slot;
    if (slot == slots_.size()) {
      try {
        slots_.resize(slots_.empty() ? 4 : slots_.size() * 2, nullptr);
      } catch (...) {
        // The array cannot grow (no memory, or past its greatest size): the
        // point holds as many subscribers as it can.
        events->Release();
        return CONNECT_E_ADVISELIMIT;
      }
    }
    slots_[slot] = events;
    *pdwCookie = static_cast<DWORD>(slot + 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) noexcept override {
    if (dwCookie == 0 || dwCookie > slots_.size() || !slots_[dwCookie - 1]) return CONNECT_E_NOCONNECTION;
    // The slot is empty before the subscriber hears of its release.
    IUnknown* gone = slots_[dwCookie - 1];
    slots_[dwCookie - 1] = nullptr;
    gone->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) noexcept override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    try {
      std::vector<CONNECTDATA> snapshot;
      for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i]) snapshot.push_back({slots_[i], static_cast<DWORD>(i + 1)});
      return CComEnum<IEnumConnections, CONNECTDATA>::Create(snapshot, 0, ppEnum);
    }
    ZAN_CATCH_RETURN()
  }

 private:
  IConnectionPointContainer* container_;
  std::vector<IUnknown*> slots_;
};
