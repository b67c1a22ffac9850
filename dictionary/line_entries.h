// The script's own door into the line dictionaries it makes: their values
// read in place and their texts stored without a copy. It is no COM
// interface: the script opens it only on an object that is one of ours by
// identity (OwnLineEntries), and reads every other line, a host's wrapper
// of one of ours included, through IDictionary.
#pragma once

#include "zanole/zanole.h"

class ILineEntries {
 public:
  // The value stored under key (a VT_BSTR), or null; it stays valid until
  // the dictionary changes.
  virtual const VARIANT* PeekItem(const VARIANT* key) noexcept = 0;
  // The entries in key order, read in place: valid until the dictionary
  // changes.
  virtual UINT EntryCount() noexcept = 0;
  virtual void EntryAt(UINT index, const VARIANT** key, const VARIANT** value) noexcept = 0;
  // put_Item of a string value whose ownership passes to the dictionary,
  // whatever the result.
  virtual HRESULT PutText(const OLECHAR* key, UINT keyLength, BSTR value) noexcept = 0;

 protected:
  ~ILineEntries() = default;
};

// The entries of line when line is a stand-alone ZanDictionary of this
// module given by its identity (its IUnknown, IDispatch or IDictionary: one
// pointer), else null. No reference is added: valid while line is held.
ILineEntries* OwnLineEntries(IUnknown* line) noexcept;
