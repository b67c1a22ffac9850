// A type library as this platform serves it: what a library file says,
// read once into plain values that ITypeLib and ITypeInfo hand out.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zanole/zanole.h"

namespace zanole {

// A type as a chain: VT_PTR and VT_SAFEARRAY point at `inner`,
// VT_USERDEFINED names a type by `href`.
struct TlbTypeDesc {
  VARTYPE vt = VT_EMPTY;
  HREFTYPE href = 0;
  std::shared_ptr<TlbTypeDesc> inner;
};

struct TlbParam {
  std::u16string name;
  WORD flags = 0;
  TlbTypeDesc type;
};

struct TlbFunc {
  MEMBERID memid = MEMBERID_NIL;
  FUNCKIND funckind = FUNC_PUREVIRTUAL;
  INVOKEKIND invkind = INVOKE_FUNC;
  CALLCONV callconv = CC_STDCALL;
  SHORT paramsOptional = 0;
  SHORT vtableOffset = 0;
  WORD flags = 0;
  std::u16string name;
  std::u16string doc;
  DWORD helpContext = 0;
  TlbTypeDesc result;
  std::vector<TlbParam> params;
};

struct TlbImplType {
  HREFTYPE href = 0;
  INT flags = 0;
};

struct TlbType {
  TYPEKIND kind = TKIND_INTERFACE;
  GUID guid{};
  std::u16string name;
  std::u16string doc;
  DWORD helpContext = 0;
  WORD flags = 0;
  WORD majorVersion = 0, minorVersion = 0;
  WORD vtableSize = 0;
  WORD alignment = 4;
  ULONG instanceSize = 0;
  std::vector<TlbImplType> implTypes;
  std::vector<TlbFunc> funcs;
};

// A type that lives in another library, named by that library's id and
// version and the type's own id.
struct TlbImport {
  GUID library{};
  LCID lcid = 0;
  WORD majorVersion = 0, minorVersion = 0;
  GUID type{};
};

struct TypeLibData {
  TLIBATTR attr{};
  std::u16string name;
  std::u16string doc;
  std::u16string helpFile;
  DWORD helpContext = 0;
  std::vector<TlbType> types;
  // Hrefs of this library's types are their record offsets (index * kTypeRecordSize);
  // hrefs with one of the two low bits set name an import.
  std::map<HREFTYPE, TlbImport> imports;
};

constexpr HREFTYPE kTypeRecordSize = 100;
inline bool IsLocalHref(HREFTYPE href) { return (href & 3) == 0; }

// Reads the binary ("MSFT") form that IDL compilers write. Returns false
// for anything that is not a well-formed library.
bool ReadMsftTypeLib(const BYTE* data, size_t size, TypeLibData* out);

// The standard OLE library (stdole2), as far as types of other libraries
// refer to it: IUnknown and IDispatch.
std::shared_ptr<const TypeLibData> StdOleTypeLib();

}  // namespace zanole
