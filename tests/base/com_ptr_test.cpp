// The interface pointer asks for interfaces by type: the id always comes
// from the interface asked for, never beside the pointer.
#include "support/counting_object.h"
#include "support/hresult.h"

using zan::ComPtr;

TEST(ComPtr, AsTakesTheIdFromTheType) {
  zantest::CountingObject object;
  ComPtr<IUnknown> unknown(&object);
  ComPtr<IDispatch> dispatch;
  ASSERT_HR(S_OK, unknown.As(&dispatch));
  EXPECT_EQ(static_cast<IDispatch*>(&object), dispatch.get());
  EXPECT_REFS(&object, 3);

  ComPtr<IPersist> persist;
  EXPECT_HR(E_NOINTERFACE, unknown.As(&persist));
  EXPECT_EQ(nullptr, persist.get());

  IDispatch* raw = reinterpret_cast<IDispatch*>(1);
  ASSERT_HR(S_OK, unknown.As(&raw));
  EXPECT_EQ(static_cast<IDispatch*>(&object), raw);
  raw->Release();
  IPersist* missing = reinterpret_cast<IPersist*>(1);
  EXPECT_HR(E_NOINTERFACE, unknown.As(&missing));
  EXPECT_EQ(nullptr, missing);

  ComPtr<IUnknown> empty;
  EXPECT_HR(E_POINTER, empty.As(&dispatch));  // what it held is dropped
  EXPECT_EQ(nullptr, dispatch.get());
  missing = reinterpret_cast<IPersist*>(1);
  EXPECT_HR(E_POINTER, empty.As(&missing));
  EXPECT_EQ(nullptr, missing);
  EXPECT_REFS(&object, 2);
}

TEST(ComPtr, QueryRaisesTryQueryAnswersNothing) {
  zantest::CountingObject object;
  ComPtr<IUnknown> unknown(&object);
  EXPECT_EQ(static_cast<IDispatch*>(&object), unknown.query<IDispatch>().get());
  EXPECT_EQ(static_cast<IDispatch*>(&object), unknown.try_query<IDispatch>().get());
  EXPECT_EQ(nullptr, unknown.try_query<IPersist>().get());
  HRESULT raised = S_OK;
  try {
    unknown.query<IPersist>();
  } catch (const zan::HResultError& e) {
    raised = e.hr();
  }
  EXPECT_HR(E_NOINTERFACE, raised);
  EXPECT_EQ(nullptr, ComPtr<IUnknown>().try_query<IDispatch>().get());
  EXPECT_REFS(&object, 2);
}

TEST(ComPtr, ConvertsToABaseInterfaceWithoutAQuery) {
  zantest::CountingObject object;
  ComPtr<IDispatch> dispatch(&object);
  ComPtr<IUnknown> copied = dispatch;
  EXPECT_EQ(static_cast<IUnknown*>(&object), copied.get());
  EXPECT_REFS(&object, 3);
  ComPtr<IUnknown> moved = std::move(dispatch);
  EXPECT_EQ(nullptr, dispatch.get());
  EXPECT_REFS(&object, 3);
}

TEST(ComPtr, IidPpvArgsPairsTheIdWithThePointersType) {
  zantest::CountingObject object;
  ComPtr<IDispatch> dispatch;
  ASSERT_HR(S_OK, object.QueryInterface(IID_PPV_ARGS(dispatch.put())));
  EXPECT_EQ(static_cast<IDispatch*>(&object), dispatch.get());
  IUnknown* unknown = nullptr;
  ASSERT_HR(S_OK, object.QueryInterface(IID_PPV_ARGS(&unknown)));
  EXPECT_EQ(static_cast<IUnknown*>(&object), unknown);
  unknown->Release();
  EXPECT_REFS(&object, 2);
}
