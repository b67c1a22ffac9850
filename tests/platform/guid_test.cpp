#include "support/hresult.h"

using zantest::Narrow;

namespace {
const GUID kSample = {0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
}

TEST(Guid, TextIsBracedUpperCase) {
  WCHAR buf[40];
  EXPECT_EQ(39, StringFromGUID2(kSample, buf, 40));
  EXPECT_EQ("{42C642C1-97E1-11CF-978F-00A02463E06F}", Narrow(buf));
  EXPECT_EQ(0, StringFromGUID2(kSample, buf, 38));
  LPOLESTR text = nullptr;
  ASSERT_HR(S_OK, StringFromCLSID(kSample, &text));
  EXPECT_EQ("{42C642C1-97E1-11CF-978F-00A02463E06F}", Narrow(text));
  CoTaskMemFree(text);
}

TEST(Guid, ParsesEitherCase) {
  CLSID id = {};
  EXPECT_HR(S_OK, CLSIDFromString(OLESTR("{42c642c1-97e1-11cf-978f-00a02463e06f}"), &id));
  EXPECT_TRUE(IsEqualGUID(kSample, id));
  IID iid = {};
  EXPECT_HR(S_OK, IIDFromString(OLESTR("{42C642C1-97E1-11CF-978F-00A02463E06F}"), &iid));
  EXPECT_TRUE(IsEqualGUID(kSample, iid));
  EXPECT_TRUE(IsEqualGUID(Scripting::IID_IDictionary, iid));
}

TEST(Guid, RejectsMalformedText) {
  IID iid;
  EXPECT_HR(E_INVALIDARG, IIDFromString(OLESTR("{42C642C1-97E1-11CF-978F-00A02463E06}"), &iid));
  EXPECT_HR(E_INVALIDARG, IIDFromString(OLESTR("42C642C1-97E1-11CF-978F-00A02463E06F"), &iid));
  EXPECT_HR(CO_E_IIDSTRING, IIDFromString(OLESTR("{42C642C1-97E1-11CF-978F-00A02463E0GF}"), &iid));
  CLSID id;
  EXPECT_HR(CO_E_CLASSSTRING, CLSIDFromString(OLESTR("{42C642C1-97E1-11CF-978F-00A02463E0GF}"), &id));
}

TEST(Guid, WellKnownInterfaces) {
  WCHAR buf[40];
  StringFromGUID2(IID_IDispatch, buf, 40);
  EXPECT_EQ("{00020400-0000-0000-C000-000000000046}", Narrow(buf));
  StringFromGUID2(IID_IConnectionPointContainer, buf, 40);
  EXPECT_EQ("{B196B284-BAB4-101A-B69C-00AA00341D07}", Narrow(buf));
}

TEST(TaskMemory, AllocReallocFree) {
  void* p = CoTaskMemAlloc(16);
  ASSERT_NE(nullptr, p);
  p = CoTaskMemRealloc(p, 4096);
  ASSERT_NE(nullptr, p);
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}
