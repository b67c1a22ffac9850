// What the IDL compiler's generated C++ expects of the SDK, for the Linux
// target. Only generated code includes the headers of this folder.
#pragma once

#include "zanole/zanole.h"

#ifndef EXTERN_C
#define EXTERN_C extern "C"
#endif
#define MIDL_INTERFACE(x) struct
#define DECLSPEC_UUID(x)
#define DECLSPEC_NOVTABLE
#define DECLSPEC_SELECTANY
#define BEGIN_INTERFACE
#define END_INTERFACE
#define CONST_VTBL const
#define __RPC_FAR
#define __RPC_USER
#define __RPC_STUB
#define RPC_ENTRY
#ifdef INITGUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  EXTERN_C const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) EXTERN_C const GUID name
#endif
