// The Scripting runtime's published dictionary interface. No SDK header
// carries it, so both targets declare it here.
#pragma once

namespace Scripting {

enum CompareMethod { BinaryCompare = 0, TextCompare = 1, DatabaseCompare = 2 };

struct IDictionary : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE putref_Item(VARIANT* Key, VARIANT* pRetItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Item(VARIANT* Key, VARIANT* pRetItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT* Key, VARIANT* pRetItem) = 0;
  virtual HRESULT STDMETHODCALLTYPE Add(VARIANT* Key, VARIANT* Item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE Exists(VARIANT* Key, VARIANT_BOOL* pExists) = 0;
  virtual HRESULT STDMETHODCALLTYPE Items(VARIANT* pItemsArray) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Key(VARIANT* Key, VARIANT* rhs) = 0;
  virtual HRESULT STDMETHODCALLTYPE Keys(VARIANT* pKeysArray) = 0;
  virtual HRESULT STDMETHODCALLTYPE Remove(VARIANT* Key) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveAll() = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CompareMode(CompareMethod pcomp) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CompareMode(CompareMethod* pcomp) = 0;
  virtual HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** ppunk) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HashVal(VARIANT* Key, VARIANT* HashVal) = 0;
};

}  // namespace Scripting

// {42C642C1-97E1-11CF-978F-00A02463E06F}
__CRT_UUID_DECL(Scripting::IDictionary, 0x42C642C1, 0x97E1, 0x11CF, 0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F)

namespace Scripting {
inline const IID& IID_IDictionary = IidOf<IDictionary>();
}  // namespace Scripting
