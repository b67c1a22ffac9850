// The id of an interface as a property of its type, as the SDK's __uuidof
// gives it on Windows. An interface declares its id once, with
// __CRT_UUID_DECL (the form the IDL compiler's C++ output uses) or
// ZAN_IID_OF (for the published ids this platform defines as constants).
#pragma once

template <class I>
struct ZanIidOf;  // no definition: an interface without an id does not compile

#define ZAN_IID_OF(type, iid)                        \
  extern "C++" {                                     \
  template <>                                        \
  struct ZanIidOf<type> {                            \
    static const IID& get() noexcept { return iid; } \
  };                                                 \
  }

#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  extern "C++" {                                                       \
  template <>                                                          \
  struct ZanIidOf<type> {                                              \
    static const IID& get() noexcept {                                 \
      static constexpr IID value = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
      return value;                                                    \
    }                                                                  \
  };                                                                   \
  }
