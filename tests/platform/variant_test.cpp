#include "support/counting_object.h"
#include "support/hresult.h"

using zantest::CountingObject;
using zantest::Narrow;
using zan::UniqueBstr;
using zan::UniqueVariant;

namespace {

struct CountingUnknown : IUnknown {
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};


std::string TextOf(VARIANT* v, USHORT flags = 0) {
  UniqueVariant out;
  HRESULT hr = VariantChangeType(out.get(), v, flags, VT_BSTR);
  if (FAILED(hr)) return "failed " + zantest::HrText(hr);
  if (V_VT(out.get()) != VT_BSTR) return "not a string";
  return Narrow(V_BSTR(out.get()));
}

}  // namespace

TEST(VariantLifetime, InitAndClear) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  VariantInit(&v);
  EXPECT_EQ(VT_EMPTY, V_VT(&v));
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(OLESTR("x"));
  EXPECT_HR(S_OK, VariantClear(&v));
  EXPECT_EQ(VT_EMPTY, V_VT(&v));
}

TEST(VariantLifetime, ClearRefusesInvalidType) {
  VARIANT v;
  V_VT(&v) = 0x0FFF;
  EXPECT_HR(DISP_E_BADVARTYPE, VariantClear(&v));
}

TEST(VariantCopy, DuplicatesStringsKeepingEmbeddedNuls) {
  UniqueVariant src, dst;
  V_VT(src.get()) = VT_BSTR;
  V_BSTR(src.get()) = SysAllocStringLen(OLESTR("a\0b"), 3);
  EXPECT_HR(S_OK, VariantCopy(dst.get(), src.get()));
  ASSERT_EQ(VT_BSTR, V_VT(dst.get()));
  EXPECT_NE(V_BSTR(src.get()), V_BSTR(dst.get()));
  EXPECT_EQ(3u, SysStringLen(V_BSTR(dst.get())));
}

TEST(VariantCopy, AddsReferenceToInterfaces) {
  CountingUnknown unk;
  {
    UniqueVariant src, dst;
    V_VT(src.get()) = VT_UNKNOWN;
    V_UNKNOWN(src.get()) = &unk;
    unk.AddRef();
    EXPECT_HR(S_OK, VariantCopy(dst.get(), src.get()));
    EXPECT_EQ(&unk, V_UNKNOWN(dst.get()));
    EXPECT_REFS(&unk, 3);
  }
  EXPECT_REFS(&unk, 1);
}

TEST(VariantLifetime, ClearReleasesObjects) {
  CountingObject object;
  VARIANT v;
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = &object;
  object.AddRef();
  EXPECT_HR(S_OK, VariantClear(&v));
  EXPECT_EQ(VT_EMPTY, V_VT(&v));
  EXPECT_REFS(&object, 1);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = nullptr;  // a null object is cleared without a call
  EXPECT_HR(S_OK, VariantClear(&v));
}

TEST(VariantCopy, ByReferenceCopiesTheReference) {
  LONG storage = 7;
  UniqueVariant src, dst;
  V_VT(src.get()) = VT_I4 | VT_BYREF;
  V_I4REF(src.get()) = &storage;
  EXPECT_HR(S_OK, VariantCopy(dst.get(), src.get()));
  EXPECT_EQ(VT_I4 | VT_BYREF, V_VT(dst.get()));
  EXPECT_EQ(&storage, V_I4REF(dst.get()));
}

TEST(VariantCopy, DeepCopiesArrays) {
  UniqueVariant src, dst;
  V_VT(src.get()) = VT_ARRAY | VT_BSTR;
  V_ARRAY(src.get()) = SafeArrayCreateVector(VT_BSTR, 0, 1);
  LONG i = 0;
  UniqueBstr s(SysAllocString(OLESTR("x")));
  ASSERT_HR(S_OK, SafeArrayPutElement(V_ARRAY(src.get()), &i, s.get()));
  EXPECT_HR(S_OK, VariantCopy(dst.get(), src.get()));
  EXPECT_NE(V_ARRAY(src.get()), V_ARRAY(dst.get()));
  UniqueBstr got;
  EXPECT_HR(S_OK, SafeArrayGetElement(V_ARRAY(dst.get()), &i, got.put()));
  EXPECT_EQ("x", Narrow(got.get()));
}

TEST(VariantCopy, InvalidSourceLeavesDestination) {
  UniqueVariant src, dst;
  V_VT(dst.get()) = VT_I4;
  V_I4(dst.get()) = 5;
  V_VT(src.get()) = 0x0FFF;
  EXPECT_HR(DISP_E_BADVARTYPE, VariantCopy(dst.get(), src.get()));
  EXPECT_EQ(VT_I4, V_VT(dst.get()));
  V_VT(src.get()) = VT_EMPTY;
}

TEST(VariantChangeType, IntegersToText) {
  UniqueVariant v;
  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = -2147483647 - 1;
  EXPECT_EQ("-2147483648", TextOf(v.get()));
  V_VT(v.get()) = VT_UI1;
  V_UI1(v.get()) = 255;
  EXPECT_EQ("255", TextOf(v.get()));
  V_VT(v.get()) = VT_I2;
  V_I2(v.get()) = -5;
  EXPECT_EQ("-5", TextOf(v.get()));
  V_VT(v.get()) = VT_UI4;
  V_UI4(v.get()) = 4294967295u;
  EXPECT_EQ("4294967295", TextOf(v.get()));
  V_VT(v.get()) = VT_I8;
  V_I8(v.get()) = -9000000000LL;
  EXPECT_EQ("-9000000000", TextOf(v.get()));
  V_VT(v.get()) = VT_I1;
  V_I1(v.get()) = -128;
  EXPECT_EQ("-128", TextOf(v.get()));
}

TEST(VariantChangeType, BooleansToText) {
  UniqueVariant v;
  V_VT(v.get()) = VT_BOOL;
  V_BOOL(v.get()) = VARIANT_TRUE;
  EXPECT_EQ("-1", TextOf(v.get()));
  EXPECT_EQ("True", TextOf(v.get(), VARIANT_ALPHABOOL));
  V_BOOL(v.get()) = VARIANT_FALSE;
  EXPECT_EQ("0", TextOf(v.get()));
  EXPECT_EQ("False", TextOf(v.get(), VARIANT_ALPHABOOL));
}

TEST(VariantChangeType, DoublesToText) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0"},         {1.0, "1"},           {-1.5, "-1.5"},        {0.1, "0.1"},
      {1.0 / 3, "0.333333333333333"},          {2.0 / 3, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},  {1234567890123456.0, "1.23456789012346E+15"},
      {1e20, "1E+20"},    {1.5e-5, "1.5E-05"}, {1e-5, "1E-05"},     {1.5e-10, "1.5E-10"},
      {-0.0, "0"},        {1e100, "1E+100"},    {1e-300, "1E-300"},    {100.0, "100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    UniqueVariant v;
    V_VT(v.get()) = VT_R8;
    V_R8(v.get()) = c.value;
    EXPECT_EQ(c.text, TextOf(v.get()));
  }
}

TEST(VariantChangeType, SinglesToText) {
  UniqueVariant v;
  V_VT(v.get()) = VT_R4;
  V_R4(v.get()) = 0.1f;
  EXPECT_EQ("0.1", TextOf(v.get()));
  V_R4(v.get()) = 1.0f / 3;
  EXPECT_EQ("0.3333333", TextOf(v.get()));
  V_R4(v.get()) = 1e10f;
  EXPECT_EQ("1E+10", TextOf(v.get()));
}

TEST(VariantChangeType, CurrencyToText) {
  struct Case {
    LONGLONG raw;
    const char* text;
  };
  const Case cases[] = {{0, "0"},          {15000, "1.5"},   {-15000, "-1.5"},
                        {123456789, "12345.6789"}, {100000000, "10000"}, {1, "0.0001"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    UniqueVariant v;
    V_VT(v.get()) = VT_CY;
    V_CY(v.get()).int64 = c.raw;
    EXPECT_EQ(c.text, TextOf(v.get()));
  }
}

TEST(VariantChangeType, DatesToText) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "12:00:00 AM"},
      {0.25, "6:00:00 AM"},
      {0.75, "6:00:00 PM"},
      {1.0, "12/31/1899"},
      {36526.0, "1/1/2000"},
      {36526.5, "1/1/2000 12:00:00 PM"},
      {-1.5, "12/29/1899 12:00:00 PM"},
      {2958465.0, "12/31/9999"},
      {45000.123456, "3/15/2023 2:57:47 AM"},
      {0.5000057870370370, "12:00:01 PM"},  // half a second rounds up
      {-0.25, "6:00:00 AM"},
      {2.9999942129629629, "1/2/1900 12:00:00 AM"},  // rounds into the next day, time still shown
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    UniqueVariant v;
    V_VT(v.get()) = VT_DATE;
    V_DATE(v.get()) = c.value;
    EXPECT_EQ(c.text, TextOf(v.get()));
  }
}

TEST(VariantChangeType, DatesOutOfRangeAreRefused) {
  for (double value : {-700000.0, 1e7}) {
    UniqueVariant v, out;
    V_VT(v.get()) = VT_DATE;
    V_DATE(v.get()) = value;
    EXPECT_HR(E_INVALIDARG, VariantChangeType(out.get(), v.get(), 0, VT_BSTR));
  }
}

TEST(VariantChangeType, WideNumbersToText) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c : {Case{123456789012345.6, "123456789012346"}, Case{0.1 + 0.2, "0.3"},
                        Case{1e15, "1E+15"}, Case{999999999999999.9, "1E+15"}, Case{-1e-20, "-1E-20"}}) {
    SCOPED_TRACE(c.text);
    UniqueVariant v;
    V_VT(v.get()) = VT_R8;
    V_R8(v.get()) = c.value;
    EXPECT_EQ(c.text, TextOf(v.get()));
  }
  UniqueVariant r4;
  V_VT(r4.get()) = VT_R4;
  V_R4(r4.get()) = 16777216.0f;
  EXPECT_EQ("1.677722E+07", TextOf(r4.get()));
  UniqueVariant ui8;
  V_VT(ui8.get()) = VT_UI8;
  V_UI8(ui8.get()) = 18446744073709551615ULL;
  EXPECT_EQ("18446744073709551615", TextOf(ui8.get()));
  UniqueVariant dec;
  V_VT(dec.get()) = VT_DECIMAL;
  DECIMAL& d = V_DECIMAL(dec.get());
  d.scale = 3;
  d.sign = DECIMAL_NEG;
  d.Hi32 = 0;
  d.Lo64 = 1234567;
  EXPECT_EQ("-1234.567", TextOf(dec.get()));
  UniqueVariant error;
  V_VT(error.get()) = VT_ERROR;
  V_ERROR(error.get()) = 5;
  EXPECT_EQ("failed 0x80020005", TextOf(error.get()));
}

TEST(VariantChangeType, EmptyNullAndInPlace) {
  UniqueVariant v;
  UniqueVariant out;
  EXPECT_HR(S_OK, VariantChangeType(out.get(), v.get(), 0, VT_BSTR));
  ASSERT_EQ(VT_BSTR, V_VT(out.get()));
  EXPECT_EQ(0u, SysStringLen(V_BSTR(out.get())));
  V_VT(v.get()) = VT_NULL;
  EXPECT_HR(DISP_E_TYPEMISMATCH, VariantChangeType(out.get(), v.get(), 0, VT_BSTR));

  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = 42;
  EXPECT_HR(S_OK, VariantChangeType(v.get(), v.get(), 0, VT_BSTR));
  ASSERT_EQ(VT_BSTR, V_VT(v.get()));
  EXPECT_EQ("42", Narrow(V_BSTR(v.get())));
}
