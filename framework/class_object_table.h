// A server's creatable classes, each with its lazily created, cached class
// object. The server owns the map and hands it to the table, so the
// framework names no class and a second map (another configuration of the
// server) needs no change here.
#pragma once

#include <atomic>
#include <cstddef>

#include "class_factory.h"

struct ObjectMapEntry {
  using StartStop = void (*)(bool starting);
  static void NoStartStop(bool) {}

  ObjectMapEntry(const CLSID* id, CComClassFactory::Creator create, UINT script, StartStop startStop = &NoStartStop)
      : clsid(id), creator(create), registryScript(script), classStartStop(startStop) {}

  const CLSID* clsid;
  CComClassFactory::Creator creator;
  UINT registryScript;  // the class's registry script resource
  // Called with true when the module starts and with false when it stops.
  StartStop classStartStop;
  std::atomic<IUnknown*> classObject{nullptr};
};

class CClassObjectTable {
 public:
  template <size_t N>
  explicit CClassObjectTable(ObjectMapEntry (&map)[N]) : CClassObjectTable(map, map + N) {}
  CClassObjectTable(ObjectMapEntry* begin, ObjectMapEntry* end) : begin_(begin), end_(end) {}
  ~CClassObjectTable() { Term(); }
  CClassObjectTable(const CClassObjectTable&) = delete;
  CClassObjectTable& operator=(const CClassObjectTable&) = delete;

  // Makes the table usable; false when its critical section cannot be made.
  bool Init() noexcept;
  // Releases the cached class objects; DllGetClassObject then answers
  // E_UNEXPECTED. Later calls do nothing.
  void Term() noexcept;

  // DllGetClassObject.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept;

  ObjectMapEntry* begin() const { return begin_; }
  ObjectMapEntry* end() const { return end_; }

 private:
  ObjectMapEntry* begin_;
  ObjectMapEntry* end_;
  CRITICAL_SECTION lock_;
  // Each table answers for itself. A table is a static object of its
  // server, so the flag is false (zero) before the table is constructed and
  // false again once it is torn down: a late caller gets E_UNEXPECTED rather
  // than a dead object.
  std::atomic<bool> ready_{false};
};
