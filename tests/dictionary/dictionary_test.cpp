#include <string>
#include <vector>

#include "support/module_fixture.h"

using zantest::CountingObject;
using zantest::Narrow;
using zantest::SetLong;
using zantest::SetString;
using zantest::Variant;

namespace {

class DictionaryTest : public zantest::ModuleTest {
 protected:
  void SetUp() override { ASSERT_HR(S_OK, Create(CLSID_ZanDictionary, Scripting::IID_IDictionary, &dict_)); }
  void TearDown() override {
    if (dict_) dict_->Release();
    ModuleTest::TearDown();
  }

  HRESULT Add(const WCHAR* key, LONG value) {
    Variant k, v;
    SetString(k, key);
    SetLong(v, value);
    return dict_->Add(k.get(), v.get());
  }

  // The strings of a Keys or Items array, numbers shown in decimal.
  std::vector<std::string> Texts(bool keys, Scripting::IDictionary* d = nullptr) {
    d = d ? d : dict_;
    Variant array;
    EXPECT_HR(S_OK, keys ? d->Keys(array.get()) : d->Items(array.get()));
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, V_VT(array.get()));
    std::vector<std::string> out;
    LONG lower = 1, upper = -2;
    SafeArrayGetLBound(V_ARRAY(array.get()), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(array.get()), 1, &upper);
    EXPECT_EQ(0, lower);
    for (LONG i = lower; i <= upper; ++i) {
      Variant e;
      SafeArrayGetElement(V_ARRAY(array.get()), &i, e.get());
      if (V_VT(e.get()) == VT_BSTR) out.push_back(Narrow(V_BSTR(e.get())));
      else if (V_VT(e.get()) == VT_I4) out.push_back(std::to_string(V_I4(e.get())));
      else out.push_back("?");
    }
    return out;
  }

  LONG Count(Scripting::IDictionary* d = nullptr) {
    LONG n = -1;
    EXPECT_HR(S_OK, (d ? d : dict_)->get_Count(&n));
    return n;
  }

  Scripting::IDictionary* dict_ = nullptr;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(DictionaryTest, KeysAndItemsFollowKeyOrder) {
  ASSERT_HR(S_OK, Add(OLESTR("b"), 1));
  ASSERT_HR(S_OK, Add(OLESTR("a"), 2));
  ASSERT_HR(S_OK, Add(OLESTR("c"), 3));
  EXPECT_EQ((Strings{"a", "b", "c"}), Texts(true));
  EXPECT_EQ((Strings{"2", "1", "3"}), Texts(false));
}

TEST_F(DictionaryTest, OrderIsCaseSensitiveLocaleCollation) {
  for (const WCHAR* key : {OLESTR("b"), OLESTR("B"), OLESTR("\u00e9"), OLESTR("a"), OLESTR("f"), OLESTR("A")})
    ASSERT_HR(S_OK, Add(key, 0));
  EXPECT_EQ((Strings{"a", "A", "b", "B", "\\u00E9", "f"}), Texts(true));
  Variant k;
  VARIANT_BOOL exists = VARIANT_TRUE;
  SetString(k, OLESTR("Key"));
  Variant v;
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));
  SetString(k, OLESTR("key"));
  EXPECT_HR(S_OK, dict_->Exists(k.get(), &exists));
  EXPECT_EQ(VARIANT_FALSE, exists);
  EXPECT_HR(S_OK, dict_->Add(k.get(), v.get()));
  EXPECT_EQ(8, Count());
}

TEST_F(DictionaryTest, StatusValuesForMissingAndDuplicateKeys) {
  ASSERT_HR(S_OK, Add(OLESTR("k"), 1));
  EXPECT_HR(5010, Add(OLESTR("k"), 2));
  Variant k, out;
  SetString(k, OLESTR("k"));
  ASSERT_HR(S_OK, dict_->get_Item(k.get(), out.get()));
  EXPECT_EQ(1, V_I4(out.get()));

  Variant replacement;
  SetLong(replacement, 9);
  EXPECT_HR(S_OK, dict_->put_Item(k.get(), replacement.get()));
  ASSERT_HR(S_OK, dict_->get_Item(k.get(), out.get()));
  EXPECT_EQ(9, V_I4(out.get()));

  SetString(k, OLESTR("missing"));
  VARIANT untouched;
  V_VT(&untouched) = VT_I2;
  V_I2(&untouched) = 77;
  EXPECT_HR(1168, dict_->get_Item(k.get(), &untouched));
  EXPECT_EQ(VT_I2, V_VT(&untouched));
  EXPECT_EQ(77, V_I2(&untouched));
  EXPECT_EQ(1, Count());

  Variant fresh;
  SetLong(fresh, 4);
  EXPECT_HR(S_OK, dict_->put_Item(k.get(), fresh.get()));
  EXPECT_EQ(2, Count());
}

TEST_F(DictionaryTest, OnlyNonNullStringKeysAreAccepted) {
  Variant value;
  VARIANT_BOOL exists;
  Variant i4;
  SetLong(i4, 1);
  BSTR target = SysAllocString(OLESTR("x"));
  Variant byRef;
  V_VT(byRef.get()) = VT_BSTR | VT_BYREF;
  V_BSTRREF(byRef.get()) = &target;
  Variant nullString;
  V_VT(nullString.get()) = VT_BSTR;
  V_BSTR(nullString.get()) = nullptr;
  for (Variant* key : {&i4, &byRef, &nullString}) {
    SCOPED_TRACE(V_VT(key->get()));
    EXPECT_HR(E_INVALIDARG, dict_->Add(key->get(), value.get()));
    EXPECT_HR(E_INVALIDARG, dict_->put_Item(key->get(), value.get()));
    EXPECT_HR(E_INVALIDARG, dict_->get_Item(key->get(), value.get()));
    EXPECT_HR(E_INVALIDARG, dict_->Exists(key->get(), &exists));
  }
  V_VT(byRef.get()) = VT_EMPTY;
  SysFreeString(target);
  Variant empty;
  SetString(empty, OLESTR(""));
  EXPECT_HR(S_OK, dict_->Add(empty.get(), value.get()));
  EXPECT_HR(E_POINTER, dict_->Add(nullptr, value.get()));
  EXPECT_HR(E_POINTER, dict_->Add(empty.get(), nullptr));
  EXPECT_HR(E_POINTER, dict_->Exists(empty.get(), nullptr));
  EXPECT_HR(E_POINTER, dict_->get_Count(nullptr));
  EXPECT_EQ(1, Count());
}

TEST_F(DictionaryTest, RemoveMissingNullAndReferenceKeys) {
  ASSERT_HR(S_OK, Add(OLESTR("a"), 1));
  ASSERT_HR(S_OK, Add(OLESTR("b"), 2));
  Variant k;
  SetString(k, OLESTR("zz"));
  EXPECT_HR(S_OK, dict_->Remove(k.get()));
  EXPECT_EQ(2, Count());
  SetLong(k, 1);
  EXPECT_HR(S_OK, dict_->Remove(k.get()));  // no number equals a string
  EXPECT_EQ(2, Count());
  // A by-reference key is compared by what it points at.
  BSTR target = SysAllocString(OLESTR("a"));
  Variant byRef;
  V_VT(byRef.get()) = VT_BSTR | VT_BYREF;
  V_BSTRREF(byRef.get()) = &target;
  EXPECT_HR(S_OK, dict_->Remove(byRef.get()));
  EXPECT_EQ((Strings{"b"}), Texts(true));
  V_VT(byRef.get()) = VT_EMPTY;
  SysFreeString(target);
  // A key that cannot be compared with strings removes nothing.
  CountingObject object;
  Variant objectKey;
  V_VT(objectKey.get()) = VT_DISPATCH;
  V_DISPATCH(objectKey.get()) = &object;
  object.AddRef();
  EXPECT_HR(S_OK, dict_->Remove(objectKey.get()));
  EXPECT_EQ(1, Count());

  VariantClear(k.get());
  V_VT(k.get()) = VT_NULL;
  ASSERT_HR(S_OK, Add(OLESTR("c"), 3));
  EXPECT_HR(S_OK, dict_->Remove(k.get()));
  EXPECT_EQ(0, Count());
  EXPECT_HR(E_POINTER, dict_->Remove(nullptr));
}

TEST_F(DictionaryTest, EmptyArraysHaveNoElements) {
  EXPECT_TRUE(Texts(true).empty());
  EXPECT_TRUE(Texts(false).empty());
  EXPECT_HR(E_POINTER, dict_->Keys(nullptr));
  EXPECT_HR(S_OK, dict_->RemoveAll());
}

TEST_F(DictionaryTest, ObjectValuesAreSharedNotCopied) {
  CountingObject object;
  Variant k, v;
  SetString(k, OLESTR("obj"));
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = &object;
  object.AddRef();
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));
  EXPECT_EQ(3u, object.refs);
  {
    Variant out;
    ASSERT_HR(S_OK, dict_->get_Item(k.get(), out.get()));
    EXPECT_EQ(&object, V_DISPATCH(out.get()));
    EXPECT_EQ(4u, object.refs);
  }
  EXPECT_HR(S_OK, dict_->RemoveAll());
  EXPECT_EQ(2u, object.refs);
}

TEST_F(DictionaryTest, UncopyableValueIsRefusedAndMapStaysIntact) {
  Variant k, bad;
  SetString(k, OLESTR("k"));
  V_VT(bad.get()) = 0x0FFF;
  EXPECT_HR(DISP_E_BADVARTYPE, dict_->put_Item(k.get(), bad.get()));
  EXPECT_EQ(0, Count());
  V_VT(bad.get()) = VT_EMPTY;
}

TEST_F(DictionaryTest, CloneIsIndependentButSharesObjects) {
  CountingObject object;
  ASSERT_HR(S_OK, Add(OLESTR("b"), 1));
  ASSERT_HR(S_OK, Add(OLESTR("a"), 2));
  Variant k, v;
  SetString(k, OLESTR("o"));
  V_VT(v.get()) = VT_UNKNOWN;
  V_UNKNOWN(v.get()) = &object;
  object.AddRef();
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));

  IKBCloneable* cloneable = nullptr;
  ASSERT_HR(S_OK, dict_->QueryInterface(IID_IKBCloneable, reinterpret_cast<void**>(&cloneable)));
  IUnknown* cloned = nullptr;
  ASSERT_HR(S_OK, cloneable->Clone(&cloned));
  cloneable->Release();
  Scripting::IDictionary* copy = nullptr;
  ASSERT_HR(S_OK, cloned->QueryInterface(Scripting::IID_IDictionary, reinterpret_cast<void**>(&copy)));
  cloned->Release();

  EXPECT_EQ(Texts(true), Texts(true, copy));
  EXPECT_EQ(4u, object.refs);  // source, clone, and the two local holders
  Variant a;
  SetString(a, OLESTR("a"));
  EXPECT_HR(S_OK, copy->Remove(a.get()));
  EXPECT_EQ(2, Count(copy));
  EXPECT_EQ(3, Count());
  copy->Release();
  EXPECT_EQ(3u, object.refs);
  EXPECT_HR(S_OK, dict_->RemoveAll());
}

TEST_F(DictionaryTest, CloneOfEmptyIsEmpty) {
  IKBCloneable* cloneable = nullptr;
  ASSERT_HR(S_OK, dict_->QueryInterface(IID_IKBCloneable, reinterpret_cast<void**>(&cloneable)));
  IUnknown* cloned = nullptr;
  ASSERT_HR(S_OK, cloneable->Clone(&cloned));
  EXPECT_HR(E_POINTER, cloneable->Clone(nullptr));
  cloneable->Release();
  Scripting::IDictionary* copy = nullptr;
  ASSERT_HR(S_OK, cloned->QueryInterface(Scripting::IID_IDictionary, reinterpret_cast<void**>(&copy)));
  cloned->Release();
  EXPECT_EQ(0, Count(copy));
  copy->Release();
}

TEST_F(DictionaryTest, UnimplementedOperationsLookAtNothing) {
  EXPECT_HR(E_NOTIMPL, dict_->putref_Item(nullptr, nullptr));
  EXPECT_HR(E_NOTIMPL, dict_->put_Key(nullptr, nullptr));
  EXPECT_HR(E_NOTIMPL, dict_->put_CompareMode(Scripting::TextCompare));
  EXPECT_HR(E_NOTIMPL, dict_->get_CompareMode(nullptr));
  EXPECT_HR(E_NOTIMPL, dict_->_NewEnum(nullptr));
  EXPECT_HR(E_NOTIMPL, dict_->get_HashVal(nullptr, nullptr));
}

TEST_F(DictionaryTest, DispatchCountsOneTypeInfoButHasNoDescription) {
  UINT count = 0;
  EXPECT_HR(S_OK, dict_->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  EXPECT_HR(E_POINTER, dict_->GetTypeInfoCount(nullptr));
  ITypeInfo* info = nullptr;
  EXPECT_TRUE(FAILED(dict_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)));
  EXPECT_EQ(nullptr, info);
}

TEST_F(DictionaryTest, InterfaceMap) {
  IUnknown* unknown = nullptr;
  IDispatch* dispatch = nullptr;
  ASSERT_HR(S_OK, dict_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  ASSERT_HR(S_OK, dict_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
  EXPECT_EQ(static_cast<IUnknown*>(dict_), unknown);
  EXPECT_EQ(static_cast<IDispatch*>(dict_), dispatch);
  unknown->Release();
  dispatch->Release();
  void* other = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, dict_->QueryInterface(IID_IPersistFile, &other));
  EXPECT_EQ(nullptr, other);
}
