// The one-dimensional VARIANT array that Keys and Items hand out; destroyed
// unless handed out, so a failure part-way leaks nothing.
#pragma once

#include <utility>

#include "zanole/zanole.h"

namespace zan {

class DictionaryArray {
 public:
  explicit DictionaryArray(ULONG count) {
    SAFEARRAYBOUND bound = {count, 0};
    array_ = SafeArrayCreate(VT_VARIANT, 1, &bound);
  }
  ~DictionaryArray() { SafeArrayDestroy(array_); }
  DictionaryArray(const DictionaryArray&) = delete;
  DictionaryArray& operator=(const DictionaryArray&) = delete;

  SAFEARRAY* get() const { return array_; }
  HRESULT Put(LONG index, const VARIANT* value) {
    return SafeArrayPutElement(array_, &index, const_cast<VARIANT*>(value));
  }
  SAFEARRAY* Detach() { return std::exchange(array_, nullptr); }

 private:
  SAFEARRAY* array_ = nullptr;
};

}  // namespace zan
