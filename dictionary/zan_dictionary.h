// ZanDictionary: a string-keyed collection of variants held in key order
// under the user locale's case-sensitive collation. Every line of a script
// is one of these.
#pragma once

#include "ZanScript_h.h"
#include "entry_list.h"
#include "framework/com_object.h"
#include "framework/type_info_holder.h"
#include "line_entries.h"

// The dictionary's own status values: positive, so callers that only test
// for failure take them as success.
constexpr HRESULT kStatusKeyNotFound = ERROR_NOT_FOUND;             // 1168
constexpr HRESULT kStatusKeyExists = ERROR_OBJECT_ALREADY_EXISTS;  // 5010

class CZanDictionaryImpl : public CComObjectRootEx<CZanDictionaryImpl>,
                           public Scripting::IDictionary,
                           public IKBCloneable,
                           public ILineEntries {
 public:
  // IDispatch is the dictionary's own vtable. ILineEntries is not listed:
  // it is the script's, found by identity (OwnLineEntries).
  using Interfaces = zan::InterfaceList<Scripting::IDictionary, IDispatch, IKBCloneable>;
  // Values may be objects that call back while they are released.
  void FinalRelease() noexcept;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) noexcept override;

  // IDictionary
  HRESULT STDMETHODCALLTYPE putref_Item(VARIANT* Key, VARIANT* pRetItem) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Item(VARIANT* Key, VARIANT* pRetItem) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT* Key, VARIANT* pRetItem) noexcept override;
  HRESULT STDMETHODCALLTYPE Add(VARIANT* Key, VARIANT* Item) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Count(LONG* pCount) noexcept override;
  HRESULT STDMETHODCALLTYPE Exists(VARIANT* Key, VARIANT_BOOL* pExists) noexcept override;
  HRESULT STDMETHODCALLTYPE Items(VARIANT* pItemsArray) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Key(VARIANT* Key, VARIANT* rhs) noexcept override;
  HRESULT STDMETHODCALLTYPE Keys(VARIANT* pKeysArray) noexcept override;
  HRESULT STDMETHODCALLTYPE Remove(VARIANT* Key) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveAll() noexcept override;
  HRESULT STDMETHODCALLTYPE put_CompareMode(Scripting::CompareMethod pcomp) noexcept override;
  HRESULT STDMETHODCALLTYPE get_CompareMode(Scripting::CompareMethod* pcomp) noexcept override;
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** ppunk) noexcept override;
  HRESULT STDMETHODCALLTYPE get_HashVal(VARIANT* Key, VARIANT* HashVal) noexcept override;

  // IKBCloneable
  HRESULT STDMETHODCALLTYPE Clone(IUnknown** ppunk) noexcept override;

  // ILineEntries
  const VARIANT* PeekItem(const VARIANT* key) noexcept override;
  UINT EntryCount() noexcept override { return entries_.size(); }
  void EntryAt(UINT index, const VARIANT** key, const VARIANT** value) noexcept override;
  HRESULT PutText(const OLECHAR* key, UINT keyLength, BSTR value) noexcept override;

 private:
  static CComTypeInfoHolder& TypeInfo();
  // The key check of the lookup and store operations.
  static HRESULT CheckedKey(const VARIANT* key);
  HRESULT BuildArray(bool keys, VARIANT* out);
  // Stores value under key (a checked VT_BSTR); an existing key keeps its
  // value unless replace is set (then kStatusKeyExists). The value is
  // copied, or taken when adopt is set.
  HRESULT Store(const VARIANT* key, VARIANT* value, bool replace, bool adopt);
  // put_Item and Add: the entry check, then Store.
  HRESULT CheckedStore(const VARIANT* key, const VARIANT* value, bool replace);

  EntryList entries_;
};

// Makes a line dictionary in process, without the registry or the class
// object; the caller holds the one reference.
HRESULT CreateLineDictionary(Scripting::IDictionary** out);
