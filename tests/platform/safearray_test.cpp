#include "support/hresult.h"

using zantest::Narrow;

TEST(SafeArray, VectorOfVariantsBoundsAndElements) {
  SAFEARRAYBOUND bound = {3, 0};
  SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 1, &bound);
  ASSERT_NE(nullptr, psa);
  EXPECT_EQ(1u, SafeArrayGetDim(psa));
  EXPECT_EQ(sizeof(VARIANT), SafeArrayGetElemsize(psa));
  LONG lb = -1, ub = -1;
  EXPECT_HR(S_OK, SafeArrayGetLBound(psa, 1, &lb));
  EXPECT_HR(S_OK, SafeArrayGetUBound(psa, 1, &ub));
  EXPECT_EQ(0, lb);
  EXPECT_EQ(2, ub);
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayGetLBound(psa, 2, &lb));
  VARTYPE vt = 0;
  EXPECT_HR(S_OK, SafeArrayGetVartype(psa, &vt));
  EXPECT_EQ(VT_VARIANT, vt);

  VARIANT in;
  V_VT(&in) = VT_BSTR;
  V_BSTR(&in) = SysAllocString(OLESTR("two"));
  LONG i = 2;
  EXPECT_HR(S_OK, SafeArrayPutElement(psa, &i, &in));
  VariantClear(&in);  // the array holds its own copy

  VARIANT out;
  VariantInit(&out);
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, &out));
  ASSERT_EQ(VT_BSTR, V_VT(&out));
  EXPECT_EQ("two", Narrow(V_BSTR(&out)));
  VariantClear(&out);

  i = 0;
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, &out));
  EXPECT_EQ(VT_EMPTY, V_VT(&out));
  i = 3;
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayPutElement(psa, &i, &out));
  i = -1;
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayGetElement(psa, &i, &out));
  EXPECT_HR(S_OK, SafeArrayDestroy(psa));
}

TEST(SafeArray, EmptyArrayHasNoElements) {
  SAFEARRAYBOUND bound = {0, 0};
  SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 1, &bound);
  ASSERT_NE(nullptr, psa);
  LONG lb = -1, ub = 7;
  EXPECT_HR(S_OK, SafeArrayGetLBound(psa, 1, &lb));
  EXPECT_HR(S_OK, SafeArrayGetUBound(psa, 1, &ub));
  EXPECT_EQ(0, lb);
  EXPECT_EQ(-1, ub);
  LONG i = 0;
  VARIANT out;
  VariantInit(&out);
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayGetElement(psa, &i, &out));
  EXPECT_HR(S_OK, SafeArrayDestroy(psa));
}

TEST(SafeArray, AccessDataLocksAgainstDestroy) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 5, 4);
  ASSERT_NE(nullptr, psa);
  LONG lb = 0;
  EXPECT_HR(S_OK, SafeArrayGetLBound(psa, 1, &lb));
  EXPECT_EQ(5, lb);
  void* data = nullptr;
  ASSERT_HR(S_OK, SafeArrayAccessData(psa, &data));
  static_cast<LONG*>(data)[3] = 99;
  EXPECT_HR(DISP_E_ARRAYISLOCKED, SafeArrayDestroy(psa));
  EXPECT_HR(S_OK, SafeArrayUnaccessData(psa));
  LONG i = 8, value = 0;
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, &value));
  EXPECT_EQ(99, value);
  EXPECT_HR(S_OK, SafeArrayDestroy(psa));
}

TEST(SafeArray, TwoDimensionsIndexLeftmostFirst) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(nullptr, psa);
  LONG ub = 0;
  EXPECT_HR(S_OK, SafeArrayGetUBound(psa, 2, &ub));
  EXPECT_EQ(3, ub);
  LONG idx[2] = {1, 2};
  LONG v = 12;
  EXPECT_HR(S_OK, SafeArrayPutElement(psa, idx, &v));
  void* data = nullptr;
  ASSERT_HR(S_OK, SafeArrayAccessData(psa, &data));
  // The first index varies fastest: (1, 2) is element 1 + 2 * (2 - 1).
  EXPECT_EQ(12, static_cast<LONG*>(data)[3]);
  SafeArrayUnaccessData(psa);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, DestroyNullIsHarmless) { EXPECT_HR(S_OK, SafeArrayDestroy(nullptr)); }
