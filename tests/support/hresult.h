// HRESULT assertions that print hex codes, reference-count assertions, and
// the product's own owners (ComPtr, UniqueBstr, UniqueVariant) for test code.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "base/unique_variant.h"
#include "zanole/zanole.h"

namespace zantest {

inline std::string HrText(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

inline testing::AssertionResult HrEqual(const char* expectedExpr, const char* actualExpr, HRESULT expected,
                                        HRESULT actual) {
  if (expected == actual) return testing::AssertionSuccess();
  return testing::AssertionFailure() << actualExpr << " is " << HrText(actual) << ", expected " << expectedExpr
                                     << " (" << HrText(expected) << ")";
}

// UTF-16 to UTF-8 for readable failure messages.
inline std::string Narrow(const WCHAR* s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    unsigned c = s[i];
    if (c < 0x80) out += static_cast<char>(c);
    else {
      char buf[12];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    }
  }
  return out;
}
inline std::string Narrow(const WCHAR* s) { return s ? Narrow(s, WcsLen(s)) : "(null)"; }

// The whole recorded text of a BSTR, embedded NULs included.
inline WString Text(BSTR s) { return s ? WString(s, SysStringLen(s)) : WString(); }

// The reference count of an object, read as Wine's tests read it: an
// AddRef and a Release, whose answer is the count.
template <class I>
ULONG RefCount(I* object) {
  object->AddRef();
  return object->Release();
}
template <class I>
ULONG RefCount(const zan::ComPtr<I>& object) {
  return RefCount(object.get());
}

}  // namespace zantest

#define EXPECT_HR(expected, actual) EXPECT_PRED_FORMAT2(::zantest::HrEqual, expected, actual)
#define ASSERT_HR(expected, actual) ASSERT_PRED_FORMAT2(::zantest::HrEqual, expected, actual)
// The count of references an object holds now (EXPECT_REF of Wine's tests).
#define EXPECT_REFS(object, n) \
  EXPECT_EQ(static_cast<ULONG>(n), ::zantest::RefCount(object)) << "references held on " #object

