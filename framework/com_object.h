// The object framework: an object root with a plain reference count and an
// interface list, and the three forms an object lives in (stand-alone,
// aggregated, and the contained inner part of an aggregate). A class T
// derives from CComObjectRootEx<T> and its interfaces and declares
//   using Interfaces = zan::InterfaceList<I1, I2, ...>;
// the first interface answers IUnknown. Each id comes from its interface's
// type, and the pointer handed out is a static_cast to that type, so an id
// cannot be paired with the wrong vtable. Earlier revisions of an interface
// (IScript for IScript4) are listed by their own type: single inheritance
// makes them the same vtable. T may define FinalConstruct (a failure
// destroys the new object) and FinalRelease.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

#include "base/com_ptr.h"
#include "base/hresult_error.h"
#include "zan_module.h"

namespace zan {

// The count an object is given on its final release, before destruction: a
// call that reaches the object while it releases what it holds (an AddRef
// and Release from a member's destructor) moves the count around this value
// and can never bring it to zero a second time.
constexpr ULONG kDestructionPin = 0x40000000;

template <class First, class... Rest>
struct InterfaceList {
  // The interface that stands for the object: make<T>() hands it out.
  using Default = First;
  // The interface of object that answers iid, or null.
  template <class T>
  static void* Find(T* object, REFIID iid) noexcept {
    if (IsEqualGUID(iid, IidOf<IUnknown>())) return Identity(object);
    void* found = nullptr;
    ((found = IsEqualGUID(iid, IidOf<First>()) ? static_cast<First*>(object) : nullptr) || ... ||
     (found = IsEqualGUID(iid, IidOf<Rest>()) ? static_cast<Rest*>(object) : nullptr));
    return found;
  }
  // The IUnknown that stands for the object's identity.
  template <class T>
  static IUnknown* Identity(T* object) noexcept {
    return static_cast<First*>(object);
  }
};

}  // namespace zan

template <class T>
class CComObjectRootEx {
 public:
  virtual ~CComObjectRootEx() = default;
  HRESULT FinalConstruct() { return S_OK; }
  // Releases what the object holds while it is still whole; a class that
  // holds objects which may call back does it here rather than in its
  // destructor, where its IUnknown is already gone.
  void FinalRelease() noexcept {}

  // Answers from the class's interface list; the reference goes through the
  // interface, so it reaches the outer object when aggregated.
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = T::Interfaces::Find(static_cast<T*>(this), iid);
    if (!*ppv) return E_NOINTERFACE;
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
  }

 protected:
  ULONG InternalAddRef() noexcept { return ++refs_; }
  ULONG InternalRelease() noexcept { return --refs_; }
  void PinForDestruction() noexcept { refs_ = zan::kDestructionPin; }

  ULONG refs_ = 0;
};

// A stand-alone object: owns its count and holds a module lock while alive.
template <class T>
class CComObject final : public T {
 public:
  template <class... Args>
  explicit CComObject(Args&&... args) : T(std::forward<Args>(args)...) {
    ZanModule().Lock();
  }
  ~CComObject() override {
    this->FinalRelease();
    ZanModule().Unlock();
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return this->InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    ULONG count = this->InternalRelease();
    if (count == 0) {
      this->PinForDestruction();
      delete this;
    }
    return count;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    return this->InternalQueryInterface(iid, ppv);
  }
};

// The inner part of an aggregate: identity and lifetime are the outer
// object's.
template <class T>
class CComContainedObject final : public T {
 public:
  explicit CComContainedObject(IUnknown* outer) : outer_(outer) {}
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return outer_->Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
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
  ~CComAggObject() {
    contained_.FinalRelease();
    ZanModule().Unlock();
  }
  CComAggObject(const CComAggObject&) = delete;
  CComAggObject& operator=(const CComAggObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    ULONG count = --refs_;
    if (count == 0) {
      refs_ = zan::kDestructionPin;
      delete this;
    }
    return count;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(iid, IidOf<IUnknown>())) {
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

// The one way to make an object of ours: a stand-alone object of class T
// built from args, its construction hook run while it holds its first
// reference, handed out as its owner. Raises E_OUTOFMEMORY, the hook's
// failure, or what T's constructor raises; a failure destroys the object.
template <class T, class... Args>
ComPtr<CComObject<T>> make_self(Args&&... args) {
  ComPtr<CComObject<T>> object(new CComObject<T>(std::forward<Args>(args)...));
  ThrowIfFailed(object->FinalConstruct());
  return object;
}

// The same, handed out as the interface that stands for it (the first of
// its list).
template <class T, class... Args>
ComPtr<typename T::Interfaces::Default> make(Args&&... args) {
  return make_self<T>(std::forward<Args>(args)...);
}

// Builds an object of class T in the form the outer object asks for; the
// instance creator of every class object.
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  try {
    if (!outer) return make_self<T>()->QueryInterface(iid, ppv);
    ComPtr<CComAggObject<T>> inner(new CComAggObject<T>(outer));
    ZAN_RETURN_IF_FAILED(inner->FinalConstruct());
    return inner->QueryInterface(iid, ppv);
  }
  ZAN_CATCH_RETURN()
}

}  // namespace zan
