// The object framework: an object root with a plain reference count and an
// interface map, and the three forms an object lives in (stand-alone,
// aggregated, and the contained inner part of an aggregate). A class T
// derives from CComObjectRootEx<T> and its interfaces and declares
//   static zan::InterfaceMap<T> Interfaces();
// the first entry answers IUnknown. It may define FinalConstruct (a failure
// destroys the new object) and FinalRelease.
#pragma once

#include <cstddef>
#include <new>

#include "base/hresult_error.h"
#include "zan_module.h"

namespace zan {

template <class T>
struct InterfaceEntry {
  const IID* iid;
  void* (*cast)(T*);
};

template <class T>
struct InterfaceMap {
  const InterfaceEntry<T>* entries;
  size_t count;
};

template <class T, size_t N>
InterfaceMap<T> MakeInterfaceMap(const InterfaceEntry<T> (&entries)[N]) {
  return {entries, N};
}

// The interface I of an object of class T.
template <class T, class I>
void* InterfaceOf(T* object) {
  return static_cast<I*>(object);
}

}  // namespace zan

template <class T>
class CComObjectRootEx {
 public:
  virtual ~CComObjectRootEx() = default;
  HRESULT FinalConstruct() { return S_OK; }
  void FinalRelease() {}

  // Answers from the class's interface map; the reference goes through the
  // interface, so it reaches the outer object when aggregated.
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const zan::InterfaceMap<T> map = T::Interfaces();
    T* self = static_cast<T*>(this);
    if (IsEqualGUID(iid, IID_IUnknown)) {
      *ppv = map.entries[0].cast(self);
    } else {
      for (size_t i = 0; i < map.count && !*ppv; ++i)
        if (IsEqualGUID(iid, *map.entries[i].iid)) *ppv = map.entries[i].cast(self);
    }
    if (!*ppv) return E_NOINTERFACE;
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
  }

 protected:
  ULONG InternalAddRef() { return ++refs_; }
  ULONG InternalRelease() { return --refs_; }

  ULONG refs_ = 0;
};

// A stand-alone object: owns its count and holds a module lock while alive.
template <class T>
class CComObject final : public T {
 public:
  CComObject() { ZanModule().Lock(); }
  ~CComObject() override {
    this->FinalRelease();
    ZanModule().Unlock();
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG count = this->InternalRelease();
    if (count == 0) delete this;
    return count;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    return this->InternalQueryInterface(iid, ppv);
  }
};

// The inner part of an aggregate: identity and lifetime are the outer
// object's.
template <class T>
class CComContainedObject final : public T {
 public:
  explicit CComContainedObject(IUnknown* outer) : outer_(outer) {}
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    return outer_->QueryInterface(iid, ppv);
  }

 private:
  IUnknown* outer_;
};

// The inner unknown handed to an aggregating object: its own count, its
// own lock, and the contained object for every interface but IUnknown.
template <class T>
class CComAggObject final : public IUnknown {
 public:
  explicit CComAggObject(IUnknown* outer) : contained_(outer) { ZanModule().Lock(); }
  virtual ~CComAggObject() {
    contained_.FinalRelease();
    ZanModule().Unlock();
  }
  CComAggObject(const CComAggObject&) = delete;
  CComAggObject& operator=(const CComAggObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG count = --refs_;
    if (count == 0) delete this;
    return count;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return contained_.InternalQueryInterface(iid, ppv);
  }

  HRESULT FinalConstruct() { return contained_.FinalConstruct(); }

 private:
  ULONG refs_ = 0;
  CComContainedObject<T> contained_;
};

namespace zan {

// Runs the construction hook of a new object and asks it for iid; the
// object is destroyed unless the query hands out a reference.
template <class Object>
HRESULT Construct(Object* object, REFIID iid, void** ppv) {
  if (!object) return E_OUTOFMEMORY;
  object->AddRef();
  HRESULT hr = object->FinalConstruct();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(iid, ppv);
  object->Release();
  return hr;
}

// Builds an object of class T in the form the outer object asks for; the
// instance creator of every class object.
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  try {
    if (outer) return Construct(new (std::nothrow) CComAggObject<T>(outer), iid, ppv);
    return Construct(new (std::nothrow) CComObject<T>(), iid, ppv);
  } catch (...) {
    return HResultFromCaught();
  }
}

}  // namespace zan
