#include "support/counting_object.h"
#include "support/hresult.h"

#include <cstring>

using zan::UniqueVariant;
using zantest::CountingObject;
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

  UniqueVariant in;
  V_VT(in.get()) = VT_BSTR;
  V_BSTR(in.get()) = SysAllocString(OLESTR("two"));
  LONG i = 2;
  EXPECT_HR(S_OK, SafeArrayPutElement(psa, &i, in.get()));
  in.Clear();  // the array holds its own copy

  UniqueVariant out;
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, out.get()));
  ASSERT_EQ(VT_BSTR, V_VT(out.get()));
  EXPECT_EQ("two", Narrow(V_BSTR(out.get())));
  out.Clear();

  i = 0;
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, out.get()));
  EXPECT_EQ(VT_EMPTY, V_VT(out.get()));
  i = 3;
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayPutElement(psa, &i, out.get()));
  i = -1;
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayGetElement(psa, &i, out.get()));
  EXPECT_HR(S_OK, SafeArrayDestroy(psa));
}

// The destination of a VARIANT element is an out parameter: the runtime
// writes it without reading what was there, whether that is garbage (an
// uninitialised VARIANT, as Windows hosts pass) or an object, which keeps
// its reference.
TEST(SafeArray, GetElementOverwritesItsDestinationUnread) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  ASSERT_NE(nullptr, psa);
  UniqueVariant value;
  V_VT(value.get()) = VT_I4;
  V_I4(value.get()) = 7;
  LONG i = 0;
  ASSERT_HR(S_OK, SafeArrayPutElement(psa, &i, value.get()));

  VARIANT garbage;
  std::memset(&garbage, 0xCC, sizeof garbage);
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, &garbage));
  EXPECT_EQ(VT_I4, V_VT(&garbage));
  EXPECT_EQ(7, V_I4(&garbage));

  CountingObject object;
  VARIANT held;
  V_VT(&held) = VT_DISPATCH;
  V_DISPATCH(&held) = &object;
  EXPECT_HR(S_OK, SafeArrayGetElement(psa, &i, &held));
  EXPECT_EQ(VT_I4, V_VT(&held));
  EXPECT_REFS(&object, 1);
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
  UniqueVariant out;
  EXPECT_HR(DISP_E_BADINDEX, SafeArrayGetElement(psa, &i, out.get()));
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
