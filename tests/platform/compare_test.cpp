#include <algorithm>
#include <vector>

#include "support/hresult.h"

using zantest::Bstr;
using zantest::Narrow;
using zantest::Variant;

namespace {

HRESULT Cmp(const WCHAR* a, const WCHAR* b) {
  Bstr x(a), y(b);
  return VarBstrCmp(x.get(), y.get(), LOCALE_USER_DEFAULT, 0);
}

}  // namespace

TEST(VarBstrCmp, CaseSensitiveAndLowerFirst) {
  EXPECT_HR(VARCMP_EQ, Cmp(OLESTR("abc"), OLESTR("abc")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("a"), OLESTR("A")));
  EXPECT_HR(VARCMP_GT, Cmp(OLESTR("Key"), OLESTR("key")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("A"), OLESTR("b")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("b"), OLESTR("B")));
}

TEST(VarBstrCmp, NullAndEmptyAreEqual) {
  Bstr empty(OLESTR(""));
  EXPECT_HR(VARCMP_EQ, VarBstrCmp(nullptr, nullptr, LOCALE_USER_DEFAULT, 0));
  EXPECT_HR(VARCMP_EQ, VarBstrCmp(nullptr, empty.get(), LOCALE_USER_DEFAULT, 0));
  EXPECT_HR(VARCMP_EQ, VarBstrCmp(empty.get(), nullptr, LOCALE_USER_DEFAULT, 0));
  Bstr a(OLESTR("a"));
  EXPECT_HR(VARCMP_LT, VarBstrCmp(nullptr, a.get(), LOCALE_USER_DEFAULT, 0));
  EXPECT_HR(VARCMP_GT, VarBstrCmp(a.get(), nullptr, LOCALE_USER_DEFAULT, 0));
}

TEST(VarBstrCmp, HyphenAndApostropheOnlyBreakTies) {
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("coop"), OLESTR("co-op")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("co-op"), OLESTR("cop")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("-a"), OLESTR("A")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("ab-"), OLESTR("a-b")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("a'b"), OLESTR("a-b")));
  EXPECT_HR(VARCMP_EQ, Cmp(OLESTR("a-b"), OLESTR("a-b")));
}

TEST(VarBstrCmp, LigaturesEqualTheirLetters) {
  EXPECT_HR(VARCMP_EQ, Cmp(OLESTR("ss"), OLESTR("\u00DF")));
  EXPECT_HR(VARCMP_EQ, Cmp(OLESTR("ae"), OLESTR("\u00E6")));
  EXPECT_HR(VARCMP_EQ, Cmp(OLESTR("AE"), OLESTR("\u00C6")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("\u00E6"), OLESTR("\u00C6")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("\u00DF"), OLESTR("st")));
}

TEST(VarBstrCmp, AccentsFollowCollationNotCodeUnits) {
  // Code-unit order would put every accented letter after z.
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("\u00e9"), OLESTR("f")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("e"), OLESTR("\u00e9")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("resume"), OLESTR("r\u00e9sum\u00e9")));
  EXPECT_HR(VARCMP_LT, Cmp(OLESTR("r\u00e9sum\u00e9"), OLESTR("resumes")));
}

TEST(VarBstrCmp, SortsMixedListLikeTheRuntime) {
  // The expected order is what the real runtime produces for en-US.
  const std::vector<WString> expected = {
#include "collation_order.inc"
  };
  std::vector<WString> sorted = expected;
  std::reverse(sorted.begin(), sorted.end());
  std::rotate(sorted.begin(), sorted.begin() + 17, sorted.end());
  std::stable_sort(sorted.begin(), sorted.end(), [](const WString& a, const WString& b) {
    Bstr x(a.data(), static_cast<UINT>(a.size())), y(b.data(), static_cast<UINT>(b.size()));
    return VarBstrCmp(x.get(), y.get(), LOCALE_USER_DEFAULT, 0) == VARCMP_LT;
  });
  std::string got;
  for (const auto& s : sorted) {
    std::string text;
    for (char c : Narrow(s.data(), s.size())) {
      if (c == '"' || c == '\\') text += '\\';
      text += c;
    }
    got += "OLESTR(\"" + text + "\"),\n";
  }
  EXPECT_EQ(expected, sorted) << "sorted order:\n" << got;
}

namespace {

HRESULT VarCmpOf(VARIANT* a, VARIANT* b) { return VarCmp(a, b, LOCALE_USER_DEFAULT, 0); }

void SetBstr(Variant& v, const WCHAR* s) {
  VariantClear(v.get());
  V_VT(v.get()) = VT_BSTR;
  V_BSTR(v.get()) = SysAllocString(s);
}

void SetI4(Variant& v, LONG n) {
  VariantClear(v.get());
  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = n;
}

void SetR8(Variant& v, double d) {
  VariantClear(v.get());
  V_VT(v.get()) = VT_R8;
  V_R8(v.get()) = d;
}

}  // namespace

TEST(VarCmp, NullOnEitherSideAnswersNull) {
  Variant null, s, n;
  V_VT(null.get()) = VT_NULL;
  SetBstr(s, OLESTR("a"));
  SetI4(n, 1);
  EXPECT_HR(VARCMP_NULL, VarCmpOf(null.get(), s.get()));
  EXPECT_HR(VARCMP_NULL, VarCmpOf(s.get(), null.get()));
  EXPECT_HR(VARCMP_NULL, VarCmpOf(null.get(), n.get()));
  Variant null2;
  V_VT(null2.get()) = VT_NULL;
  EXPECT_HR(VARCMP_NULL, VarCmpOf(null.get(), null2.get()));
}

TEST(VarCmp, StringsCompareAsVarBstrCmp) {
  Variant a, b;
  SetBstr(a, OLESTR("b"));
  SetBstr(b, OLESTR("a"));
  EXPECT_HR(VARCMP_GT, VarCmpOf(a.get(), b.get()));
  SetBstr(b, OLESTR("B"));
  EXPECT_HR(VARCMP_LT, VarCmpOf(a.get(), b.get()));
  SetBstr(b, OLESTR("b"));
  EXPECT_HR(VARCMP_EQ, VarCmpOf(a.get(), b.get()));
}

TEST(VarCmp, NumbersCompareByValueAcrossTypes) {
  Variant a, b;
  SetI4(a, 2);
  SetR8(b, 2.5);
  EXPECT_HR(VARCMP_LT, VarCmpOf(a.get(), b.get()));
  SetR8(b, 2.0);
  EXPECT_HR(VARCMP_EQ, VarCmpOf(a.get(), b.get()));
  VariantClear(b.get());
  V_VT(b.get()) = VT_BOOL;
  V_BOOL(b.get()) = VARIANT_TRUE;
  EXPECT_HR(VARCMP_GT, VarCmpOf(a.get(), b.get()));
  VariantClear(b.get());
  EXPECT_HR(VARCMP_GT, VarCmpOf(a.get(), b.get()));  // empty counts as 0
}

TEST(VarCmp, NumberAgainstString) {
  Variant n, s;
  SetI4(n, 5);
  SetBstr(s, OLESTR("10"));
  EXPECT_HR(VARCMP_LT, VarCmpOf(n.get(), s.get()));
  EXPECT_HR(VARCMP_GT, VarCmpOf(s.get(), n.get()));
  SetBstr(s, OLESTR("a"));
  EXPECT_HR(VARCMP_LT, VarCmpOf(n.get(), s.get()));
}

TEST(VarCmp, EmptyAgainstString) {
  Variant e, s;
  SetBstr(s, OLESTR(""));
  EXPECT_HR(VARCMP_EQ, VarCmpOf(e.get(), s.get()));
  SetBstr(s, OLESTR("a"));
  EXPECT_HR(VARCMP_LT, VarCmpOf(e.get(), s.get()));
  EXPECT_HR(VARCMP_GT, VarCmpOf(s.get(), e.get()));
  Variant e2;
  EXPECT_HR(VARCMP_EQ, VarCmpOf(e.get(), e2.get()));
}

TEST(VarCmp, ReferencesAreRefused) {
  Variant a, ref;
  SetBstr(a, OLESTR("x"));
  BSTR target = SysAllocString(OLESTR("x"));
  V_VT(ref.get()) = VT_BSTR | VT_BYREF;
  V_BSTRREF(ref.get()) = &target;
  EXPECT_HR(DISP_E_BADVARTYPE, VarCmpOf(a.get(), ref.get()));
  EXPECT_HR(DISP_E_BADVARTYPE, VarCmpOf(ref.get(), a.get()));
  V_VT(ref.get()) = VT_EMPTY;
  SysFreeString(target);
}
