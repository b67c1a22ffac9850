#include "zan_dictionary.h"

#include <cstring>

#include "base/com_ptr.h"
#include "base/result_macros.h"
#include "base/unique_any.h"

using zan::UniqueVariant;

namespace {

using LineObject = CComObject<CZanDictionaryImpl>;

// A text in a line's room is laid out as any string: its byte length, its
// units and a NUL, at a 4-byte boundary, so that every reader (the
// runtime's own copies included) takes it for one.
constexpr size_t kLengthPrefix = sizeof(DWORD);
// The most units a string holds: its byte length must fit the prefix's
// signed range, as the runtime's allocator requires.
constexpr UINT kMaxTextUnits = 0x7FFFFFF0u / sizeof(OLECHAR);

size_t ImageBytes(UINT units) {
  return (kLengthPrefix + (size_t{units} + 1) * sizeof(OLECHAR) + 3) & ~size_t{3};
}

BSTR PlaceImage(char* at, const OLECHAR* units, UINT length) {
  const DWORD bytes = static_cast<DWORD>(length * sizeof(OLECHAR));
  std::memcpy(at, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<OLECHAR*>(at + kLengthPrefix);
  if (length) std::memcpy(text, units, bytes);
  text[length] = 0;
  return text;
}

}  // namespace

// Wherever values go (FinalRelease, Store, Remove, RemoveAll), they are taken
// out of the list first and released after it is whole again: a value that
// calls back while it is released finds consistent entries.
void CZanDictionaryImpl::FinalRelease() noexcept {
  EntryList doomed;
  entries_.MoveTo(&doomed);
  ForgetRoom(&doomed);
}

bool CZanDictionaryImpl::InRoom(const VARIANT* value) const noexcept {
  if (room_ == 0 || V_VT(value) != VT_BSTR) return false;
  // Only MakeLine gives room, and only to a stand-alone object.
  const auto begin = reinterpret_cast<uintptr_t>(static_cast<const LineObject*>(this)) + sizeof(LineObject);
  const auto text = reinterpret_cast<uintptr_t>(V_BSTR(value));
  return text >= begin && text < begin + room_;
}

void CZanDictionaryImpl::ForgetRoom(UniqueVariant* value) const noexcept {
  if (InRoom(value->get())) V_VT(value->get()) = VT_EMPTY;
}

void CZanDictionaryImpl::ForgetRoom(EntryList* doomed) const noexcept {
  if (room_ != 0) doomed->ForEachValue([this](UniqueVariant* value) { ForgetRoom(value); });
}

CComTypeInfoHolder& CZanDictionaryImpl::TypeInfo() {
  static CComTypeInfoHolder holder(IidOf<Scripting::IDictionary>(), LIBID_ZANSCRIPTLib, 1, 0);
  return holder;
}

HRESULT CZanDictionaryImpl::CheckedKey(const VARIANT* key) {
  return V_VT(key) != VT_BSTR || !V_BSTR(key) ? E_INVALIDARG : S_OK;
}

// One search finds the entry or the place for it. The value is copied
// before the key goes in, so a failed copy leaves the entries as they were.
HRESULT CZanDictionaryImpl::Store(const VARIANT* key, VARIANT* value, bool replace, bool adopt) {
  bool found = false;
  EntryList::Place at = entries_.PlaceFor(key, &found);
  if (found && !replace) return kStatusKeyExists;
  if (found && value == entries_.ValueAt(at).get()) return S_OK;
  UniqueVariant copy;
  if (adopt) {
    *copy.get() = *value;
    VariantInit(value);
  } else {
    ZAN_RETURN_IF_FAILED(copy.CopyFrom(value));
  }
  if (found) {
    // The old value goes only after the entry holds the new one: its
    // release may call back into this dictionary.
    UniqueVariant old = std::move(entries_.ValueAt(at));
    entries_.ValueAt(at) = std::move(copy);
    ForgetRoom(&old);
    return S_OK;
  }
  entries_.Insert(at, DictionaryEntry{SharedKey::Intern(V_BSTR(key), SysStringLen(V_BSTR(key))), std::move(copy)});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::GetTypeInfoCount(UINT* pctinfo) noexcept {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept {
  return TypeInfo().GetTypeInfo(iTInfo, lcid, ppTInfo);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                            LCID lcid, DISPID* rgDispId) noexcept {
  return TypeInfo().GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept {
  return TypeInfo().Invoke(static_cast<Scripting::IDictionary*>(this), dispIdMember, riid, lcid, wFlags,
                           pDispParams, pVarResult, pExcepInfo, puArgErr);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::putref_Item(VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }

HRESULT CZanDictionaryImpl::CheckedStore(const VARIANT* key, const VARIANT* value, bool replace) {
  if (!key || !value) return E_POINTER;
  try {
    ZAN_RETURN_IF_FAILED(CheckedKey(key));
    return Store(key, const_cast<VARIANT*>(value), replace, false);
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::put_Item(VARIANT* Key, VARIANT* pRetItem) noexcept {
  return CheckedStore(Key, pRetItem, true);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_Item(VARIANT* Key, VARIANT* pRetItem) noexcept {
  if (!Key || !pRetItem) return E_POINTER;
  ZAN_RETURN_IF_FAILED(CheckedKey(Key));
  bool found = false;
  EntryList::Place at = entries_.LowerBound(Key, &found);
  if (!found) return kStatusKeyNotFound;
  // An out parameter: whatever it held is not ours to clear.
  V_VT(pRetItem) = VT_EMPTY;
  return VariantCopy(pRetItem, entries_.ValueAt(at).get());
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Add(VARIANT* Key, VARIANT* Item) noexcept {
  return CheckedStore(Key, Item, false);
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_Count(LONG* pCount) noexcept {
  if (!pCount) return E_POINTER;
  *pCount = static_cast<LONG>(entries_.size());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Exists(VARIANT* Key, VARIANT_BOOL* pExists) noexcept {
  if (!Key || !pExists) return E_POINTER;
  ZAN_RETURN_IF_FAILED(CheckedKey(Key));
  bool found = false;
  entries_.LowerBound(Key, &found);
  *pExists = found ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Items(VARIANT* pItemsArray) noexcept { return BuildArray(false, pItemsArray); }

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::put_Key(VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Keys(VARIANT* pKeysArray) noexcept { return BuildArray(true, pKeysArray); }

HRESULT CZanDictionaryImpl::BuildArray(bool keys, VARIANT* out) {
  if (!out) return E_POINTER;
  // Destroyed unless handed out, so a failure part-way leaks nothing.
  SAFEARRAYBOUND bound = {static_cast<ULONG>(entries_.size()), 0};
  zan::UniqueSafeArray array(SafeArrayCreate(VT_VARIANT, 1, &bound));
  ZAN_RETURN_HR_IF_NULL(E_FAIL, array.get());
  LONG index = 0;
  HRESULT hr = S_OK;
  entries_.ForEach([&](const VARIANT* key, const VARIANT* value) {
    hr = SafeArrayPutElement(array.get(), &index, const_cast<VARIANT*>(keys ? key : value));
    ++index;
    return SUCCEEDED(hr);
  });
  ZAN_RETURN_IF_FAILED(hr);
  V_VT(out) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(out) = array.release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Remove(VARIANT* Key) noexcept {
  if (!Key) return E_POINTER;
  // A reference is compared by the value it points at; a key that cannot be
  // compared with strings at all matches nothing, rather than everything.
  UniqueVariant key;
  ZAN_RETURN_IF_FAILED(VariantCopyInd(key.get(), Key));
  if (V_VT(key.get()) != VT_NULL) {
    VARIANT probe = zan::VariantRefBstr(nullptr);
    HRESULT order = VarCmp(key.get(), &probe, LOCALE_USER_DEFAULT, 0);
    if (order != VARCMP_LT && order != VARCMP_EQ && order != VARCMP_GT) return S_OK;
  }
  // Every entry equal to the key under the collation goes, released once
  // the list is whole again.
  try {
    EntryList doomed;
    entries_.Take(key.get(), &doomed);
    ForgetRoom(&doomed);
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::RemoveAll() noexcept {
  EntryList doomed;
  entries_.MoveTo(&doomed);
  ForgetRoom(&doomed);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::put_CompareMode(Scripting::CompareMethod) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_CompareMode(Scripting::CompareMethod*) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::_NewEnum(IUnknown**) noexcept { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::get_HashVal(VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CZanDictionaryImpl::Clone(IUnknown** ppunk) noexcept {
  if (!ppunk) return E_POINTER;
  try {
    zan::ComPtr<Scripting::IDictionary> clone;
    ZAN_RETURN_IF_FAILED(CreateLineDictionary(clone.put()));
    // Entries go in key order: each lands after the last, at one comparison.
    CZanDictionaryImpl* into = OwnDictionary(clone.get());
    HRESULT hr = S_OK;
    entries_.ForEach([&](const VARIANT* key, const VARIANT* value) {
      hr = into->Store(key, const_cast<VARIANT*>(value), true, false);
      return SUCCEEDED(hr);
    });
    ZAN_RETURN_IF_FAILED(hr);
    *ppunk = clone.Detach();
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

const VARIANT* CZanDictionaryImpl::PeekItem(const VARIANT* key) noexcept {
  if (!key || FAILED(CheckedKey(key))) return nullptr;
  bool found = false;
  EntryList::Place at = entries_.LowerBound(key, &found);
  return found ? entries_.ValueAt(at).get() : nullptr;
}

HRESULT CZanDictionaryImpl::MakeLine(const LineTextEntry* entries, UINT count, Scripting::IDictionary** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    uint64_t bytes = 0;
    for (UINT i = 0; i < count; ++i) {
      // A text no string could hold would be stored and never read back.
      if (entries[i].valueLength > kMaxTextUnits) return E_OUTOFMEMORY;
      bytes += ImageBytes(entries[i].valueLength);
    }
    if (bytes > UINT32_MAX || bytes > SIZE_MAX - sizeof(LineObject)) return E_OUTOFMEMORY;
    auto* object = new (Room{static_cast<size_t>(bytes)}, std::nothrow) LineObject();
    ZAN_RETURN_IF_NULL_ALLOC(object);
    zan::ComPtr<Scripting::IDictionary> line(object);
    object->room_ = static_cast<uint32_t>(bytes);
    char* at = reinterpret_cast<char*>(object) + sizeof(LineObject);
    for (UINT i = 0; i < count; ++i) {
      const LineTextEntry& e = entries[i];
      SharedKey key = SharedKey::Intern(e.key, e.keyLength);
      DictionaryEntry entry{std::move(key), UniqueVariant()};
      V_VT(entry.value.get()) = VT_BSTR;
      V_BSTR(entry.value.get()) = PlaceImage(at, e.value, e.valueLength);
      at += ImageBytes(e.valueLength);
      bool found = false;
      EntryList::Place place = object->entries_.PlaceFor(entry.key.get(), &found);
      if (found) {
        // Both texts are in the room: the earlier is simply forgotten.
        object->ForgetRoom(&object->entries_.ValueAt(place));
        object->entries_.ValueAt(place) = std::move(entry.value);
        continue;
      }
      try {
        object->entries_.Insert(place, std::move(entry));
      } catch (...) {
        // The list is as it was and the entry still holds its text.
        object->ForgetRoom(&entry.value);
        throw;
      }
    }
    *out = line.Detach();
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

namespace {

// The vtable a stand-alone dictionary's identity points at, read once from
// a dictionary made for the purpose. An object whose identity points at the
// same table is one of ours, and no other object's can: comparing it reads
// nothing but the pointer every COM object starts with.
const void* StandAloneVtable() noexcept {
  static const void* const vtable = [] {
    LineObject probe;
    return *reinterpret_cast<const void* const*>(static_cast<Scripting::IDictionary*>(&probe));
  }();
  return vtable;
}

}  // namespace

CZanDictionaryImpl* OwnDictionary(IUnknown* line) noexcept {
  if (!line || *reinterpret_cast<const void* const*>(line) != StandAloneVtable()) return nullptr;
  return static_cast<LineObject*>(static_cast<Scripting::IDictionary*>(line));
}

HRESULT CreateLineDictionary(Scripting::IDictionary** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    *out = zan::make<CZanDictionaryImpl>().Detach();
    return S_OK;
  }
  ZAN_CATCH_RETURN()
}

HRESULT CreateLineDictionary(const LineTextEntry* entries, UINT count, Scripting::IDictionary** out) {
  return CZanDictionaryImpl::MakeLine(entries, count, out);
}
