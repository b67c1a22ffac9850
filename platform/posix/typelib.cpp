// ITypeLib and ITypeInfo over a library read once (typelib_data.h), and
// LoadTypeLib: a library file, or a module that carries its library as a
// "TYPELIB" resource ("module\2" picks resource 2). Types describe; they do
// not call: ITypeInfo::Invoke is not served on this target.
#include <unicode/uchar.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "errors.h"
#include "module_directory.h"
#include "typelib_data.h"
#include "utf8_text.h"

namespace zanole {
namespace {

bool SameName(const std::u16string& a, const WCHAR* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (u_toupper(a[i]) != u_toupper(b[i])) return false;
  return i == a.size() && !b[i];
}

BSTR Bstr(const std::u16string& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

template <typename Interface>
class RefCounted : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IidOf<Interface>())) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

class TypeLib;

// A FUNCDESC and everything it points at, freed as one.
struct FuncDescBlock {
  FUNCDESC desc{};
  std::vector<ELEMDESC> params;
  std::vector<std::unique_ptr<TYPEDESC>> chain;

  void Fill(TYPEDESC* out, const TlbTypeDesc& in) {
    out->vt = in.vt;
    if (in.inner) {
      chain.push_back(std::make_unique<TYPEDESC>());
      out->lptdesc = chain.back().get();
      Fill(out->lptdesc, *in.inner);
    } else if (in.vt == VT_USERDEFINED) {
      out->hreftype = in.href;
    }
  }
};

class TypeInfo final : public RefCounted<ITypeInfo> {
 public:
  TypeInfo(TypeLib* lib, UINT index);

  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC** ppVarDesc) override {
    if (!ppVarDesc) return E_INVALIDARG;
    *ppVarDesc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                             DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return TYPE_E_BADMODULEKIND;
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID* ppvObj) override {
    if (ppvObj) *ppvObj = nullptr;
    return TYPE_E_BADMODULEKIND;
  }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* pBstrMops) override {
    if (pBstrMops) *pBstrMops = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) override { delete pTypeAttr; }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) override {
    delete reinterpret_cast<FuncDescBlock*>(pFuncDesc);
  }
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

 private:
  ~TypeInfo() override;
  const TlbType& Type() const;
  const TlbFunc* FindFunc(MEMBERID memid) const {
    for (const TlbFunc& f : Type().funcs)
      if (f.memid == memid) return &f;
    return nullptr;
  }

  TypeLib* lib_;
  UINT index_;
};

class TypeLib final : public RefCounted<ITypeLib> {
 public:
  explicit TypeLib(std::shared_ptr<const TypeLibData> data) : data_(std::move(data)) {}
  const TypeLibData& Data() const { return *data_; }

  UINT STDMETHODCALLTYPE GetTypeInfoCount() override { return static_cast<UINT>(data_->types.size()); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= data_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = new TypeInfo(this, index);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) override {
    if (!pTKind) return E_INVALIDARG;
    if (index >= data_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = data_->types[index].kind;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override {
    if (!ppTinfo) return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (UINT i = 0; i < data_->types.size(); ++i)
      if (IsEqualGUID(data_->types[i].guid, guid)) return GetTypeInfo(i, ppTinfo);
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) override {
    if (!ppTLibAttr) return E_INVALIDARG;
    *ppTLibAttr = new TLIBATTR(data_->attr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                             BSTR* pBstrHelpFile) override {
    if (index == -1) {
      Document(data_->name, data_->doc, data_->helpContext, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
      return S_OK;
    }
    if (index < 0 || static_cast<size_t>(index) >= data_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
    const TlbType& t = data_->types[static_cast<size_t>(index)];
    Document(t.name, t.doc, t.helpContext, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) override {
    if (!szNameBuf || !pfName) return E_INVALIDARG;
    *pfName = FALSE;
    for (const TlbType& t : data_->types) {
      if (SameName(t.name, szNameBuf)) *pfName = TRUE;
      for (const TlbFunc& f : t.funcs)
        if (SameName(f.name, szNameBuf)) *pfName = TRUE;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT* pcFound) override {
    if (pcFound) *pcFound = 0;
    return E_NOTIMPL;
  }
  void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) override { delete pTLibAttr; }

  void Document(const std::u16string& name, const std::u16string& doc, DWORD context, BSTR* pName, BSTR* pDoc,
                DWORD* pContext, BSTR* pHelpFile) const {
    if (pName) *pName = Bstr(name);
    if (pDoc) *pDoc = doc.empty() ? nullptr : Bstr(doc);
    if (pContext) *pContext = context;
    if (pHelpFile) *pHelpFile = data_->helpFile.empty() ? nullptr : Bstr(data_->helpFile);
  }

 private:
  std::shared_ptr<const TypeLibData> data_;
};

TypeInfo::TypeInfo(TypeLib* lib, UINT index) : lib_(lib), index_(index) { lib_->AddRef(); }
TypeInfo::~TypeInfo() { lib_->Release(); }
const TlbType& TypeInfo::Type() const { return lib_->Data().types[index_]; }

HRESULT STDMETHODCALLTYPE TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (!ppTypeAttr) return E_INVALIDARG;
  const TlbType& t = Type();
  auto* attr = new TYPEATTR{};
  attr->guid = t.guid;
  attr->lcid = lib_->Data().attr.lcid;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = t.instanceSize;
  attr->typekind = t.kind;
  attr->cFuncs = static_cast<WORD>(t.funcs.size());
  attr->cImplTypes = static_cast<WORD>(t.implTypes.size());
  attr->cbSizeVft = t.vtableSize;
  attr->cbAlignment = t.alignment;
  attr->wTypeFlags = t.flags;
  attr->wMajorVerNum = t.majorVersion;
  attr->wMinorVerNum = t.minorVersion;
  *ppTypeAttr = attr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (!ppFuncDesc) return E_INVALIDARG;
  *ppFuncDesc = nullptr;
  if (index >= Type().funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
  const TlbFunc& f = Type().funcs[index];
  auto block = std::make_unique<FuncDescBlock>();
  FUNCDESC& d = block->desc;
  d.memid = f.memid;
  d.funckind = f.funckind;
  d.invkind = f.invkind;
  d.callconv = f.callconv;
  d.cParams = static_cast<SHORT>(f.params.size());
  d.cParamsOpt = f.paramsOptional;
  d.oVft = f.vtableOffset;
  d.wFuncFlags = f.flags;
  block->Fill(&d.elemdescFunc.tdesc, f.result);
  block->params.resize(f.params.size());
  for (size_t i = 0; i < f.params.size(); ++i) {
    block->Fill(&block->params[i].tdesc, f.params[i].type);
    block->params[i].paramdesc.wParamFlags = f.params[i].flags;
  }
  d.lprgelemdescParam = block->params.empty() ? nullptr : block->params.data();
  *ppFuncDesc = &block.release()->desc;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (!rgBstrNames || !pcNames) return E_INVALIDARG;
  *pcNames = 0;
  const TlbFunc* f = FindFunc(memid);
  if (!f) return TYPE_E_ELEMENTNOTFOUND;
  if (cMaxNames > 0) rgBstrNames[(*pcNames)++] = Bstr(f->name);
  for (const TlbParam& p : f->params) {
    if (*pcNames >= cMaxNames) break;
    rgBstrNames[(*pcNames)++] = Bstr(p.name);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (!pRefType) return E_INVALIDARG;
  if (index >= Type().implTypes.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pRefType = Type().implTypes[index].href;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) {
  if (!pImplTypeFlags) return E_INVALIDARG;
  if (index >= Type().implTypes.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = Type().implTypes[index].flags;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (!rgszNames || !pMemId || cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) pMemId[i] = MEMBERID_NIL;
  for (const TlbFunc& f : Type().funcs) {
    if (!SameName(f.name, rgszNames[0])) continue;
    pMemId[0] = f.memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
      for (size_t j = 0; j < f.params.size(); ++j)
        if (SameName(f.params[j].name, rgszNames[i])) pMemId[i] = static_cast<MEMBERID>(j);
      if (pMemId[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  // Members of the interfaces this one derives from are its members too.
  for (UINT i = 0; i < Type().implTypes.size() && Type().kind != TKIND_COCLASS; ++i) {
    ITypeInfo* base = nullptr;
    if (FAILED(GetRefTypeInfo(Type().implTypes[i].href, &base))) continue;
    HRESULT hr = base->GetIDsOfNames(rgszNames, cNames, pMemId);
    base->Release();
    if (hr != DISP_E_UNKNOWNNAME) return hr;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                                     DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  if (memid == MEMBERID_NIL) {
    lib_->Document(Type().name, Type().doc, Type().helpContext, pBstrName, pBstrDocString, pdwHelpContext,
                   pBstrHelpFile);
    return S_OK;
  }
  const TlbFunc* f = FindFunc(memid);
  if (!f) return TYPE_E_ELEMENTNOTFOUND;
  lib_->Document(f->name, f->doc, f->helpContext, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  const TypeLibData& data = lib_->Data();
  if (IsLocalHref(hRefType)) {
    UINT index = hRefType / kTypeRecordSize;
    return index < data.types.size() ? lib_->GetTypeInfo(index, ppTInfo) : TYPE_E_ELEMENTNOTFOUND;
  }
  auto import = data.imports.find(hRefType);
  if (import == data.imports.end()) return TYPE_E_ELEMENTNOTFOUND;
  const TlbImport& i = import->second;
  ITypeLib* other = nullptr;
  HRESULT hr = LoadRegTypeLib(i.library, i.majorVersion, i.minorVersion, i.lcid, &other);
  if (FAILED(hr)) return hr;
  hr = other->GetTypeInfoOfGuid(i.type, ppTInfo);
  other->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (ppTLib) {
    lib_->AddRef();
    *ppTLib = lib_;
  }
  if (pIndex) *pIndex = index_;
  return S_OK;
}

// "module\2": the path and the resource number after its last backslash.
void SplitIndex(WString* path, WORD* index) {
  *index = 1;
  size_t slash = path->rfind(u'\\');
  if (slash == WString::npos || slash + 1 == path->size()) return;
  unsigned n = 0;
  for (size_t i = slash + 1; i < path->size(); ++i) {
    if ((*path)[i] < u'0' || (*path)[i] > u'9' || n > 0xffff) return;
    n = n * 10 + ((*path)[i] - u'0');
  }
  *index = static_cast<WORD>(n);
  path->resize(slash);
}

bool ReadFileBytes(const WString& path, std::vector<BYTE>* bytes) {
  std::string name;
  if (!Utf8FromWide(path.c_str(), &name)) return false;
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  BYTE buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool ReadFromModule(const WString& path, WORD index, TypeLibData* data) {
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return false;
  bool ok = false;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(index), u"TYPELIB")) {
    const void* bytes = LockResource(LoadResource(module, found));
    ok = bytes && ReadMsftTypeLib(static_cast<const BYTE*>(bytes), SizeofResource(module, found), data);
  }
  FreeLibrary(module);
  return ok;
}

}  // namespace

ITypeLib* NewTypeLib(std::shared_ptr<const TypeLibData> data) { return new TypeLib(std::move(data)); }

}  // namespace zanole

extern "C" {

HRESULT STDAPICALLTYPE LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
  if (!szFile || !pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  WString path(szFile);
  WORD index;
  zanole::SplitIndex(&path, &index);
  auto data = std::make_shared<zanole::TypeLibData>();
  std::vector<BYTE> bytes;
  // A library file is read as it is; anything else (a bare module name
  // included, which the loader searches for) as a module's resource.
  bool ok = zanole::ReadFileBytes(path, &bytes) && bytes.size() >= 4 && std::memcmp(bytes.data(), "MSFT", 4) == 0
                ? zanole::ReadMsftTypeLib(bytes.data(), bytes.size(), data.get())
                : zanole::ReadFromModule(path, index, data.get());
  if (!ok) return TYPE_E_CANTLOADLIBRARY;
  ITypeLib* lib = zanole::NewTypeLib(std::move(data));
  if (regkind == REGKIND_REGISTER) {
    HRESULT hr = RegisterTypeLib(lib, szFile, nullptr);
    if (FAILED(hr)) {
      lib->Release();
      return hr;
    }
  }
  *pptlib = lib;
  return S_OK;
}

HRESULT STDAPICALLTYPE LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  // As the platform does: a library named by a full path is only loaded,
  // one found through the search path is also registered.
  bool fullPath = szFile && szFile[0] == u'/';
  return LoadTypeLibEx(szFile, fullPath ? REGKIND_NONE : REGKIND_REGISTER, pptlib);
}

}  // extern "C"
