// An enumerator over a snapshot: IEnumConnections, IEnumConnectionPoints
// and their like, holding its own references to what it lists, so that
// what changes after it was made does not change what it hands out.
#pragma once

#include <utility>
#include <vector>

#include "com_object.h"

namespace zan {

// How an item of the snapshot is held: a reference added on copy, released
// on destruction.
template <class T>
struct EnumItemTraits;

template <>
struct EnumItemTraits<CONNECTDATA> {
  static void Hold(CONNECTDATA& item) noexcept {
    if (item.pUnk) item.pUnk->AddRef();
  }
  static void Drop(CONNECTDATA& item) noexcept {
    if (item.pUnk) item.pUnk->Release();
  }
};

template <>
struct EnumItemTraits<IConnectionPoint*> {
  static void Hold(IConnectionPoint*& item) noexcept {
    if (item) item->AddRef();
  }
  static void Drop(IConnectionPoint*& item) noexcept {
    if (item) item->Release();
  }
};

}  // namespace zan

template <class IEnum, class T>
class CComEnum : public CComObjectRootEx<CComEnum<IEnum, T>>, public IEnum {
 public:
  using Interfaces = zan::InterfaceList<IEnum>;
  using Traits = zan::EnumItemTraits<T>;

  // Takes the items, adding its own reference to each, at position next.
  // Raises bad_alloc.
  CComEnum(const std::vector<T>& items, size_t next) : items_(items), next_(next) {
    for (T& item : items_) Traits::Hold(item);
  }
  ~CComEnum() override {
    for (T& item : items_) Traits::Drop(item);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, T* out, ULONG* fetched) noexcept override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) {
      out[n] = items_[next_];
      Traits::Hold(out[n]);
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override {
    const size_t left = items_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() noexcept override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnum** out) noexcept override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Create(items_, next_, out);
  }

  // A new enumerator over items, at position next.
  static HRESULT Create(const std::vector<T>& items, size_t next, IEnum** out) noexcept {
    try {
      *out = zan::make<CComEnum>(items, next).Detach();
      return S_OK;
    }
    ZAN_CATCH_RETURN()
  }

 private:
  std::vector<T> items_;
  size_t next_ = 0;
};
