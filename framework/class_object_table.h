// A server's creatable classes, each with its lazily created, cached class
// object. The server owns the map and hands it to the table, so the
// framework names no class and a second map (another configuration of the
// server) needs no change here.
#pragma once

#include <atomic>
#include <cstddef>

#include "class_factory.h"

struct ObjectMapEntry {
  const CLSID* clsid;
  CComClassFactory::Creator creator;
  std::atomic<IUnknown*> classObject{nullptr};
};

class CClassObjectTable {
 public:
  template <size_t N>
  explicit CClassObjectTable(ObjectMapEntry (&map)[N]) : CClassObjectTable(map, map + N) {}
  CClassObjectTable(ObjectMapEntry* begin, ObjectMapEntry* end);
  ~CClassObjectTable();
  CClassObjectTable(const CClassObjectTable&) = delete;
  CClassObjectTable& operator=(const CClassObjectTable&) = delete;

  // DllGetClassObject.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept;

 private:
  ObjectMapEntry* begin_;
  ObjectMapEntry* end_;
  CRITICAL_SECTION lock_;
};
