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

  ~CComEnum() override {
    for (T& item : items_) Traits::Drop(item);
  }

  // Takes the items, adding its own reference to each. Raises bad_alloc.
  void Init(const std::vector<T>& items) {
    items_ = items;
    for (T& item : items_) Traits::Hold(item);
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
    auto* object = new (std::nothrow) CComObject<CComEnum>();
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    try {
      object->Init(items);
    } catch (...) {
      object->Release();
      return zan::HResultFromCaught();
    }
    object->next_ = next;
    *out = object;
    return S_OK;
  }

 private:
  std::vector<T> items_;
  size_t next_ = 0;
};
