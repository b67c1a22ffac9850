// The script's own door into the line dictionaries it makes: their values
// read in place and their texts stored without a copy. It is answered only
// in process, by CZanDictionaryImpl; lines that hosts hand in go through
// IDictionary.
#pragma once

#include "zanole/zanole.h"

struct ILineEntries : IUnknown {
  // The value stored under key (a VT_BSTR), or null; it stays valid until
  // the dictionary changes.
  virtual const VARIANT* STDMETHODCALLTYPE PeekItem(const VARIANT* key) noexcept = 0;
  // The entries in key order, read in place: valid until the dictionary
  // changes.
  virtual UINT STDMETHODCALLTYPE EntryCount() noexcept = 0;
  virtual void STDMETHODCALLTYPE EntryAt(UINT index, const VARIANT** key, const VARIANT** value) noexcept = 0;
  // put_Item of a string value whose ownership passes to the dictionary,
  // whatever the result.
  virtual HRESULT STDMETHODCALLTYPE PutText(const OLECHAR* key, UINT keyLength, BSTR value) noexcept = 0;
};
__CRT_UUID_DECL(ILineEntries, 0x5B0E8C31, 0x7A4F, 0x4C1D, 0x9E, 0x62, 0x3D, 0x81, 0x0A, 0x57, 0xC4, 0x2B)
