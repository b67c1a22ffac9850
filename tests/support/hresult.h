// HRESULT assertions that print hex codes, and small owners for test code.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const WCHAR* s) : s_(SysAllocString(s)) {}
  Bstr(const WCHAR* s, UINT n) : s_(SysAllocStringLen(s, n)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR get() const { return s_; }
  BSTR* out() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  WString text() const { return s_ ? WString(s_, SysStringLen(s_)) : WString(); }

 private:
  BSTR s_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  VARIANT* operator->() { return &v_; }

 private:
  VARIANT v_;
};

}  // namespace zantest

#define EXPECT_HR(expected, actual) EXPECT_PRED_FORMAT2(::zantest::HrEqual, expected, actual)
#define ASSERT_HR(expected, actual) ASSERT_PRED_FORMAT2(::zantest::HrEqual, expected, actual)

namespace zantest {
// True when the Windows build runs under Wine rather than Windows.
bool RunningUnderWine();
}  // namespace zantest

// Guards a check where Wine is shown to differ from Windows: under Wine the
// check is reported, not run. Usage: ZAN_UNLESS_WINE_DEVIATES("why") { ... }
#define ZAN_UNLESS_WINE_DEVIATES(reason)                                              \
  if (::zantest::RunningUnderWine()) {                                               \
    std::printf("[ WINE DEVIATES ] %s: %s\n",                                        \
                ::testing::UnitTest::GetInstance()->current_test_info()->name(), reason); \
  } else
