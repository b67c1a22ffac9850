// Owner of one interface reference. Another interface of the object is
// asked for by its type (As, query, try_query), so an id never travels
// beside a pointer by hand; out parameters of the runtime take
// IID_PPV_ARGS(p.put()).
#pragma once

#include <type_traits>
#include <utility>

#include "hresult_error.h"

namespace zan {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Adds a reference to p.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  // From an owner of a derived class or interface (an object to its
  // interface): no query, the pointer converts.
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(ComPtr<U>&& other) noexcept : p_(other.Detach()) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() {
    if (p_) p_->Release();
  }

  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* p) noexcept {
    ComPtr c;
    c.p_ = p;
    return c;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset() noexcept { ComPtr().swap(*this); }
  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }
  // For out parameters: drops the current reference first.
  T** put() noexcept {
    Reset();
    return &p_;
  }
  // For an out parameter that takes any interface: drops the current
  // reference first.
  void** put_void() noexcept { return IID_PPV_ARGS_Helper(put()); }

  // The object's interface U, or the failure of the query (E_POINTER when
  // this holds nothing; out is then empty).
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    return p_ ? p_->QueryInterface(IID_PPV_ARGS(out->put())) : (out->Reset(), E_POINTER);
  }
  // The same into a caller's out parameter, which is null on failure.
  template <class U>
  HRESULT As(U** out) const noexcept {
    *out = nullptr;
    return p_ ? p_->QueryInterface(IID_PPV_ARGS(out)) : E_POINTER;
  }
  // The object's interface U; raises the failure of the query.
  template <class U>
  ComPtr<U> query() const {
    ComPtr<U> out;
    ThrowIfFailed(As(&out));
    return out;
  }
  // The object's interface U, or nothing.
  template <class U>
  ComPtr<U> try_query() const noexcept {
    ComPtr<U> out;
    As(&out);
    return out;
  }

  // An interface named by an id that arrives as a value (a caller's riid).
  // The system's own code names the type instead.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const noexcept {
    return p_ ? p_->QueryInterface(iid, IID_PPV_ARGS_Helper(out->put())) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace zan
