// ZanDictionary: a string-keyed collection of variants held in key order
// under the user locale's case-sensitive collation. Every line of a script
// is one of these.
#pragma once

#include <cstdint>
#include <new>

#include "ZanScript_h.h"
#include "entry_list.h"
#include "framework/com_object.h"
#include "framework/type_info_holder.h"

// The dictionary's own status values: positive, so callers that only test
// for failure take them as success.
constexpr HRESULT kStatusKeyNotFound = ERROR_NOT_FOUND;             // 1168
constexpr HRESULT kStatusKeyExists = ERROR_OBJECT_ALREADY_EXISTS;  // 5010

// A piece of text for a new line: its key and its value, as units.
struct LineTextEntry {
  const OLECHAR* key;
  UINT keyLength;
  const OLECHAR* value;
  UINT valueLength;
};

class CZanDictionaryImpl : public CComObjectRootEx<CZanDictionaryImpl>,
                           public Scripting::IDictionary,
                           public IKBCloneable {
 public:
  // IDispatch is the dictionary's own vtable.
  using Interfaces = zan::InterfaceList<Scripting::IDictionary, IDispatch, IKBCloneable>;

  // A line made by the script is one allocation: the object, then the room
  // its texts live in as strings of their own (MakeLine). Every other form
  // allocates as usual.
  struct Room {
    size_t bytes;
  };
  static void* operator new(size_t size) { return ::operator new(size); }
  static void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return ::operator new(size, std::nothrow);
  }
  static void* operator new(size_t size, Room room, const std::nothrow_t&) noexcept {
    return ::operator new(size + room.bytes, std::nothrow);
  }
  static void operator delete(void* block) noexcept { ::operator delete(block); }
  static void operator delete(void* block, const std::nothrow_t&) noexcept { ::operator delete(block); }
  static void operator delete(void* block, Room, const std::nothrow_t&) noexcept { ::operator delete(block); }

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

  // The script's own reads, in place: no call leaves the module. The value
  // stored under key (a VT_BSTR), or null; the entries in key order. Each
  // stays valid until the dictionary changes.
  const VARIANT* PeekItem(const VARIANT* key) noexcept;
  UINT EntryCount() const noexcept { return entries_.size(); }
  void EntryAt(UINT index, const VARIANT** key, const VARIANT** value) noexcept {
    entries_.EntryAt(index, key, value);
  }

  // Makes a dictionary holding entries (stored in order: a later key
  // replaces an earlier one) whose string values live in the room behind
  // the object; the caller holds the one reference.
  static HRESULT MakeLine(const LineTextEntry* entries, UINT count, Scripting::IDictionary** out);

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

  // Whether value is one of the strings in the room: those are never freed,
  // and a value leaving the dictionary forgets them instead.
  bool InRoom(const VARIANT* value) const noexcept;
  void ForgetRoom(zan::UniqueVariant* value) const noexcept;
  void ForgetRoom(EntryList* doomed) const noexcept;

  EntryList entries_;
  // The bytes of room behind this object; zero for any object not made by
  // MakeLine.
  uint32_t room_ = 0;
};

// The dictionary when line is a stand-alone ZanDictionary of this module
// given by its identity (its IUnknown, IDispatch or IDictionary: one
// pointer), else null. No reference is added: valid while line is held.
CZanDictionaryImpl* OwnDictionary(IUnknown* line) noexcept;

// Makes a line dictionary in process, without the registry or the class
// object; the caller holds the one reference. With entries, it holds them
// and their texts in one allocation (CZanDictionaryImpl::MakeLine).
HRESULT CreateLineDictionary(Scripting::IDictionary** out);
HRESULT CreateLineDictionary(const LineTextEntry* entries, UINT count, Scripting::IDictionary** out);
