// The one owner template: a resource, the value that owns nothing, and the
// function that closes it. Every owner of the system is this template with
// its traits (BSTR, VARIANT, registry key, safe array, C stream, module),
// or a thin class over it that adds makers.
//
// Traits give:
//   using Type = ...;                         the resource as held
//   static Type Invalid() noexcept;           the value that owns nothing
//   static bool IsValid(const Type&) noexcept;
//   static void Close(Type&) noexcept;        gives the resource back
#pragma once

#include <cstdio>
#include <type_traits>
#include <utility>

#include "zanole/zanole.h"

namespace zan {

template <class Traits>
class UniqueAny {
 public:
  using Type = typename Traits::Type;

  UniqueAny() noexcept : value_(Traits::Invalid()) {}
  explicit UniqueAny(Type owned) noexcept : value_(owned) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  Type get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return Traits::IsValid(value_); }

  // Hands the resource to the caller; this one owns nothing after.
  Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  // Closes what was held (unless it is what is handed in) and takes owned.
  // The owner holds its new value before the old one closes, so a close
  // that calls back (an object's last release) finds it whole.
  void reset(Type owned = Traits::Invalid()) noexcept {
    Type old = std::exchange(value_, owned);
    if constexpr (std::is_scalar_v<Type>) {
      if (old == value_) return;
    }
    if (Traits::IsValid(old)) Traits::Close(old);
  }

  // For out parameters: closes what was held first.
  Type* put() noexcept {
    reset();
    return &value_;
  }
  // For in-out parameters (SysReAllocString): the resource stays.
  Type* addressof() noexcept { return &value_; }
  const Type* addressof() const noexcept { return &value_; }

  void swap(UniqueAny& other) noexcept { std::swap(value_, other.value_); }

 private:
  Type value_;
};

// Traits of a handle that is null when it owns nothing. CloseFunction is
// one of ours, never the SDK's own: the address of an imported function is
// no constant on every compiler.
template <class T, void (*CloseFunction)(T) noexcept>
struct HandleTraits {
  using Type = T;
  static T Invalid() noexcept { return T(); }
  static bool IsValid(T handle) noexcept { return handle != T(); }
  static void Close(T handle) noexcept { CloseFunction(handle); }
};

namespace closers {
inline void String(BSTR text) noexcept { SysFreeString(text); }
inline void RegistryKey(HKEY key) noexcept { RegCloseKey(key); }
inline void SafeArray(SAFEARRAY* array) noexcept { SafeArrayDestroy(array); }
inline void Stream(FILE* file) noexcept { std::fclose(file); }
inline void Module(HMODULE module) noexcept { FreeLibrary(module); }
}  // namespace closers

// An open registry key (RegCloseKey).
using UniqueRegKey = UniqueAny<HandleTraits<HKEY, &closers::RegistryKey>>;
// A safe array (SafeArrayDestroy).
using UniqueSafeArray = UniqueAny<HandleTraits<SAFEARRAY*, &closers::SafeArray>>;
// A C stream (fclose). A stream that was written is closed by hand, with
// fclose(file.release()), since that close is its last write and can fail.
using UniqueFile = UniqueAny<HandleTraits<FILE*, &closers::Stream>>;
// A loaded module (FreeLibrary).
using UniqueModule = UniqueAny<HandleTraits<HMODULE, &closers::Module>>;

}  // namespace zan
