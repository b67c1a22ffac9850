// The ZanScript library that lies beside the tool, loaded as any host
// loads an in-process server and reached only through its exports: no
// registration is needed.
#pragma once

#include "ZanScript_h.h"
#include "base/com_ptr.h"

class Component {
 public:
  // False, with a message on stderr, when the library cannot be loaded.
  bool Load();

  zan::ComPtr<IScript4> NewScript() const;

 private:
  template <class I>
  zan::ComPtr<I> Create(REFCLSID clsid) const;

  HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
};
