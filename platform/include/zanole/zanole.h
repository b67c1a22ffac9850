// The one header the system includes for the platform: COM, OLE Automation,
// the kernel subset it uses, the Scripting dictionary interface and the
// UTF-16 text helpers. On Windows this is the SDK; elsewhere it is ours.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <ocidl.h>
#include <olectl.h>
#define ZAN_PLATFORM_WINDOWS 1
#else
#include "posix/basetypes.h"
#include "posix/winerror.h"
#include "posix/oleauto.h"
#include "posix/objbase.h"
#include "posix/ocidl.h"
#include "posix/winbase.h"
#include "posix/winreg.h"
#include "posix/hooks.h"
#define ZAN_PLATFORM_POSIX 1
#endif

// The id of interface I, taken from its type, so that an id and a cast can
// only be paired by naming the one interface.
template <class I>
inline const IID& IidOf() noexcept {
#if defined(ZAN_PLATFORM_WINDOWS)
  return __uuidof(I);
#else
  return ZanIidOf<I>::get();
#endif
}

#include "crt_errors.h"
#include "scripting.h"
#include "wfile.h"
#include "wstr.h"
