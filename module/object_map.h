// The creatable classes in registration order, each with its lazily
// created, cached class object.
#pragma once

#include <atomic>

#include "class_factory.h"

struct ObjectMapEntry {
  const CLSID* clsid;
  CComClassFactory::Creator creator;
  std::atomic<IUnknown*> classObject{nullptr};
};

class CClassObjectTable {
 public:
  CClassObjectTable();
  ~CClassObjectTable();
  CClassObjectTable(const CClassObjectTable&) = delete;
  CClassObjectTable& operator=(const CClassObjectTable&) = delete;

  // DllGetClassObject.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv);

 private:
  CRITICAL_SECTION lock_;
};

// The object map; defined with the classes it lists.
ObjectMapEntry* ObjectMapBegin();
ObjectMapEntry* ObjectMapEnd();
