#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/module_fixture.h"

using zan::ComPtr;
using zan::UniqueBstr;
using zan::UniqueVariant;
using zantest::CountingObject;
using zantest::Long;
using zantest::Narrow;
using zantest::String;

namespace {

class DictionaryTest : public zantest::ModuleTest {
 protected:
  void SetUp() override { ASSERT_HR(S_OK, Create(CLSID_ZanDictionary, &dict_)); }
  void TearDown() override {
    dict_.Reset();
    ModuleTest::TearDown();
  }

  HRESULT Add(const WCHAR* key, LONG value) {
    UniqueVariant k = String(key), v = Long(value);
    return dict_->Add(k.get(), v.get());
  }

  // The strings of a Keys or Items array, numbers shown in decimal.
  std::vector<std::string> Texts(bool keys, Scripting::IDictionary* d = nullptr) {
    d = d ? d : dict_.get();
    UniqueVariant array;
    EXPECT_HR(S_OK, keys ? d->Keys(array.get()) : d->Items(array.get()));
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, V_VT(array.get()));
    std::vector<std::string> out;
    LONG lower = 1, upper = -2;
    SafeArrayGetLBound(V_ARRAY(array.get()), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(array.get()), 1, &upper);
    EXPECT_EQ(0, lower);
    for (LONG i = lower; i <= upper; ++i) {
      UniqueVariant e;
      SafeArrayGetElement(V_ARRAY(array.get()), &i, e.get());
      if (V_VT(e.get()) == VT_BSTR) out.push_back(Narrow(V_BSTR(e.get())));
      else if (V_VT(e.get()) == VT_I4) out.push_back(std::to_string(V_I4(e.get())));
      else out.push_back("?");
    }
    return out;
  }

  // Adds the object as the value of key "v"; the dictionary holds one reference.
  HRESULT AddUnderV(IDispatch* value) {
    UniqueVariant key = String(OLESTR("v")), v;
    V_VT(v.get()) = VT_DISPATCH;
    V_DISPATCH(v.get()) = value;
    value->AddRef();
    return dict_->Add(key.get(), v.get());
  }

  // Remove with a by-reference key: compared by what it points at.
  HRESULT RemoveByReference(const WCHAR* key) {
    UniqueBstr target(SysAllocString(key));
    UniqueVariant byRef;
    V_VT(byRef.get()) = VT_BSTR | VT_BYREF;
    V_BSTRREF(byRef.get()) = target.addressof();
    HRESULT hr = dict_->Remove(byRef.get());
    V_VT(byRef.get()) = VT_EMPTY;
    return hr;
  }

  LONG Count(Scripting::IDictionary* d = nullptr) {
    LONG n = -1;
    EXPECT_HR(S_OK, (d ? d : dict_.get())->get_Count(&n));
    return n;
  }

  // The dictionary's copy of what Clone makes of it.
  ComPtr<Scripting::IDictionary> Cloned() {
    ComPtr<IKBCloneable> cloneable;
    EXPECT_HR(S_OK, dict_.As(IidOf<IKBCloneable>(), &cloneable));
    ComPtr<IUnknown> cloned;
    EXPECT_HR(S_OK, cloneable->Clone(cloned.put()));
    ComPtr<Scripting::IDictionary> copy;
    if (cloned) {
      EXPECT_HR(S_OK, cloned.As(Scripting::IID_IDictionary, &copy));
    }
    return copy;
  }

  ComPtr<Scripting::IDictionary> dict_;
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
  UniqueVariant k;
  VARIANT_BOOL exists = VARIANT_TRUE;
  k = String(OLESTR("Key"));
  UniqueVariant v;
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));
  k = String(OLESTR("key"));
  EXPECT_HR(S_OK, dict_->Exists(k.get(), &exists));
  EXPECT_EQ(VARIANT_FALSE, exists);
  EXPECT_HR(S_OK, dict_->Add(k.get(), v.get()));
  EXPECT_EQ(8, Count());
}

TEST_F(DictionaryTest, StatusValuesForMissingAndDuplicateKeys) {
  ASSERT_HR(S_OK, Add(OLESTR("k"), 1));
  EXPECT_HR(5010, Add(OLESTR("k"), 2));
  UniqueVariant k, out;
  k = String(OLESTR("k"));
  ASSERT_HR(S_OK, dict_->get_Item(k.get(), out.get()));
  EXPECT_EQ(1, V_I4(out.get()));

  UniqueVariant replacement;
  replacement = Long(9);
  EXPECT_HR(S_OK, dict_->put_Item(k.get(), replacement.get()));
  ASSERT_HR(S_OK, dict_->get_Item(k.get(), out.get()));
  EXPECT_EQ(9, V_I4(out.get()));

  k = String(OLESTR("missing"));
  VARIANT untouched;
  V_VT(&untouched) = VT_I2;
  V_I2(&untouched) = 77;
  EXPECT_HR(1168, dict_->get_Item(k.get(), &untouched));
  EXPECT_EQ(VT_I2, V_VT(&untouched));
  EXPECT_EQ(77, V_I2(&untouched));
  EXPECT_EQ(1, Count());

  UniqueVariant fresh;
  fresh = Long(4);
  EXPECT_HR(S_OK, dict_->put_Item(k.get(), fresh.get()));
  EXPECT_EQ(2, Count());
}

TEST_F(DictionaryTest, OnlyNonNullStringKeysAreAccepted) {
  UniqueVariant value;
  VARIANT_BOOL exists;
  UniqueVariant i4;
  i4 = Long(1);
  UniqueBstr target(SysAllocString(OLESTR("x")));
  UniqueVariant byRef;
  V_VT(byRef.get()) = VT_BSTR | VT_BYREF;
  V_BSTRREF(byRef.get()) = target.addressof();
  UniqueVariant nullString;
  V_VT(nullString.get()) = VT_BSTR;
  V_BSTR(nullString.get()) = nullptr;
  for (UniqueVariant* key : {&i4, &byRef, &nullString}) {
    SCOPED_TRACE(V_VT(key->get()));
    EXPECT_HR(E_INVALIDARG, dict_->Add(key->get(), value.get()));
    EXPECT_HR(E_INVALIDARG, dict_->put_Item(key->get(), value.get()));
    EXPECT_HR(E_INVALIDARG, dict_->get_Item(key->get(), value.get()));
    EXPECT_HR(E_INVALIDARG, dict_->Exists(key->get(), &exists));
  }
  V_VT(byRef.get()) = VT_EMPTY;
  UniqueVariant empty;
  empty = String(OLESTR(""));
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
  UniqueVariant k;
  k = String(OLESTR("zz"));
  EXPECT_HR(S_OK, dict_->Remove(k.get()));
  EXPECT_EQ(2, Count());
  k = Long(1);
  EXPECT_HR(S_OK, dict_->Remove(k.get()));  // no number equals a string
  EXPECT_EQ(2, Count());
  EXPECT_HR(S_OK, RemoveByReference(OLESTR("a")));
  EXPECT_EQ((Strings{"b"}), Texts(true));
  // A key that cannot be compared with strings removes nothing.
  CountingObject object;
  UniqueVariant objectKey;
  V_VT(objectKey.get()) = VT_DISPATCH;
  V_DISPATCH(objectKey.get()) = &object;
  object.AddRef();
  EXPECT_HR(S_OK, dict_->Remove(objectKey.get()));
  EXPECT_EQ(1, Count());

  k.Clear();
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
  UniqueVariant k, v;
  k = String(OLESTR("obj"));
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = &object;
  object.AddRef();
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));
  EXPECT_REFS(&object, 3);
  {
    UniqueVariant out;
    ASSERT_HR(S_OK, dict_->get_Item(k.get(), out.get()));
    EXPECT_EQ(&object, V_DISPATCH(out.get()));
    EXPECT_REFS(&object, 4);
  }
  EXPECT_HR(S_OK, dict_->RemoveAll());
  EXPECT_REFS(&object, 2);
}

TEST_F(DictionaryTest, UncopyableValueIsRefusedAndMapStaysIntact) {
  UniqueVariant k, bad;
  k = String(OLESTR("k"));
  V_VT(bad.get()) = 0x0FFF;
  EXPECT_HR(DISP_E_BADVARTYPE, dict_->put_Item(k.get(), bad.get()));
  EXPECT_EQ(0, Count());
  V_VT(bad.get()) = VT_EMPTY;
}

TEST_F(DictionaryTest, CloneIsIndependentButSharesObjects) {
  CountingObject object;
  ASSERT_HR(S_OK, Add(OLESTR("b"), 1));
  ASSERT_HR(S_OK, Add(OLESTR("a"), 2));
  UniqueVariant k, v;
  k = String(OLESTR("o"));
  V_VT(v.get()) = VT_UNKNOWN;
  V_UNKNOWN(v.get()) = &object;
  object.AddRef();
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));

  ComPtr<Scripting::IDictionary> copy = Cloned();
  ASSERT_TRUE(copy);

  EXPECT_EQ(Texts(true), Texts(true, copy.get()));
  EXPECT_REFS(&object, 4);  // source, clone, and the two local holders
  UniqueVariant a = String(OLESTR("a"));
  EXPECT_HR(S_OK, copy->Remove(a.get()));
  EXPECT_EQ(2, Count(copy.get()));
  EXPECT_EQ(3, Count());
  copy.Reset();
  EXPECT_REFS(&object, 3);
  EXPECT_HR(S_OK, dict_->RemoveAll());
}

TEST_F(DictionaryTest, CloneOfEmptyIsEmpty) {
  ComPtr<Scripting::IDictionary> copy = Cloned();
  ASSERT_TRUE(copy);
  EXPECT_EQ(0, Count(copy.get()));
  ComPtr<IKBCloneable> cloneable;
  ASSERT_HR(S_OK, dict_.As(IidOf<IKBCloneable>(), &cloneable));
  EXPECT_HR(E_POINTER, cloneable->Clone(nullptr));
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
  ComPtr<ITypeInfo> info;
  EXPECT_TRUE(FAILED(dict_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())));
  EXPECT_FALSE(info);
}

TEST_F(DictionaryTest, InterfaceMap) {
  ComPtr<IUnknown> unknown;
  ComPtr<IDispatch> dispatch;
  ASSERT_HR(S_OK, dict_.As(IID_IUnknown, &unknown));
  ASSERT_HR(S_OK, dict_.As(IID_IDispatch, &dispatch));
  EXPECT_EQ(static_cast<IUnknown*>(dict_.get()), unknown.get());
  EXPECT_EQ(static_cast<IDispatch*>(dict_.get()), dispatch.get());
  EXPECT_REFS(dict_, 3);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, dict_->QueryInterface(IID_IPersistFile, &other));
  EXPECT_EQ(nullptr, other);
  // The script knows its own lines by their identity, not by an id that
  // every caller could ask for (this one it once used).
  const GUID lineEntries = {0x5B0E8C31, 0x7A4F, 0x4C1D, {0x9E, 0x62, 0x3D, 0x81, 0x0A, 0x57, 0xC4, 0x2B}};
  other = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, dict_->QueryInterface(lineEntries, &other));
  EXPECT_EQ(nullptr, other);
}

// get_Item's VARIANT is an out parameter: an object the caller left in it
// is not the dictionary's to release.
TEST_F(DictionaryTest, GetItemOverwritesItsOutVariantUnread) {
  ASSERT_HR(S_OK, Add(OLESTR("k"), 5));
  UniqueVariant k = String(OLESTR("k"));
  CountingObject object;
  VARIANT out;
  V_VT(&out) = VT_DISPATCH;
  V_DISPATCH(&out) = &object;
  ASSERT_HR(S_OK, dict_->get_Item(k.get(), &out));
  EXPECT_EQ(VT_I4, V_VT(&out));
  EXPECT_EQ(5, V_I4(&out));
  EXPECT_REFS(&object, 1);
}

// Keys and Items write their out VARIANT as they find it: what it held is
// the caller's, never cleared or released by the dictionary.
TEST_F(DictionaryTest, KeysAndItemsOverwriteTheirOutVariantUnread) {
  ASSERT_HR(S_OK, Add(OLESTR("k"), 5));
  for (bool keys : {true, false}) {
    SCOPED_TRACE(keys ? "Keys" : "Items");
    CountingObject object;
    VARIANT out;
    V_VT(&out) = VT_DISPATCH;
    V_DISPATCH(&out) = &object;
    ASSERT_HR(S_OK, keys ? dict_->Keys(&out) : dict_->Items(&out));
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, V_VT(&out));
    EXPECT_REFS(&object, 1);
    UniqueVariant owned;
    *owned.get() = out;  // the array is the caller's to free
  }
}

TEST_F(DictionaryTest, ValueThatCallsBackWhileTheDictionaryDies) {
  zantest::CallbackObject value;
  LONG countSeen = -1;
  UniqueVariant k = String(OLESTR("v"));
  UniqueVariant v;
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = &value;
  value.AddRef();
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));
  v.Clear();
  ASSERT_HR(S_OK, Add(OLESTR("w"), 1));
  value.onRelease = [dying = dict_.get(), &countSeen] {
    dying->AddRef();
    dying->get_Count(&countSeen);
    dying->Release();
  };
  dict_.Reset();  // the last reference: the value's callback must be harmless
  EXPECT_FALSE(value.onRelease);
  EXPECT_EQ(0, countSeen);  // the dying dictionary is already empty
  EXPECT_REFS(&value, 1);
}

TEST_F(DictionaryTest, KeysThatTheCollationEqualsAreOneKeyWhateverTheirSpelling) {
  // Different strings that collate equal (a ligature and its letters) are
  // still one key: a quick path for identical strings must not split them.
  ASSERT_HR(S_OK, Add(OLESTR("\u00e6on"), 1));
  EXPECT_HR(5010, Add(OLESTR("aeon"), 2));
  UniqueVariant k = String(OLESTR("aeon")), v;
  ASSERT_HR(S_OK, dict_->get_Item(k.get(), v.get()));
  EXPECT_EQ(1, V_I4(v.get()));
  EXPECT_HR(S_OK, dict_->Remove(k.get()));
  EXPECT_EQ(0, Count());
}

TEST_F(DictionaryTest, AKeyOutlivesEveryOtherDictionaryThatHeldIt) {
  // Keys are shared between dictionaries: each must keep its own alive.
  ComPtr<Scripting::IDictionary> other;
  ASSERT_HR(S_OK, Create(CLSID_ZanDictionary, &other));
  UniqueVariant k = String(OLESTR("shared key")), one = Long(1), two = Long(2);
  ASSERT_HR(S_OK, dict_->Add(k.get(), one.get()));
  ASSERT_HR(S_OK, other->Add(k.get(), two.get()));
  ASSERT_HR(S_OK, Add(OLESTR("a"), 3));  // moves the entries to a larger block
  other.Reset();
  ASSERT_HR(S_OK, Add(OLESTR("shared KEY"), 4));
  EXPECT_EQ((Strings{"a", "shared key", "shared KEY"}), Texts(true));
  EXPECT_EQ((Strings{"3", "1", "4"}), Texts(false));
}

// A value whose release changes the dictionary that releases it: the entries
// must be whole again before the value goes, whichever operation lets it go.
TEST_F(DictionaryTest, AValueMayChangeItsDictionaryWhileItIsReleased) {
  enum class Op { PutItem, AddOverIt, Remove, RemoveByNull, RemoveAll };
  enum class Reaction { AddsKeys, RemovesKeys, Empties };
  struct Case {
    Op op;
    Reaction reaction;
    Strings keys;  // afterwards
  };
  Strings many;
  for (int i = 0; i < 40; ++i) many.push_back("k" + std::to_string(10 + i));
  auto with = [&many](Strings keys, std::initializer_list<std::string> tail) {
    keys.insert(keys.end(), many.begin(), many.end());
    keys.insert(keys.end(), tail);
    return keys;
  };
  const Case cases[] = {
      {Op::PutItem, Reaction::AddsKeys, with({"a", "b", "c"}, {"v"})},
      {Op::PutItem, Reaction::RemovesKeys, {"b", "v"}},
      {Op::PutItem, Reaction::Empties, {}},
      {Op::AddOverIt, Reaction::AddsKeys, {"a", "b", "c", "v"}},  // nothing is released
      {Op::Remove, Reaction::AddsKeys, with({"a", "b", "c"}, {})},
      {Op::Remove, Reaction::RemovesKeys, {"b"}},
      {Op::Remove, Reaction::Empties, {}},
      {Op::RemoveByNull, Reaction::AddsKeys, many},
      {Op::RemoveByNull, Reaction::RemovesKeys, {}},
      {Op::RemoveAll, Reaction::AddsKeys, many},
      {Op::RemoveAll, Reaction::RemovesKeys, {}},
      {Op::RemoveAll, Reaction::Empties, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "operation " << static_cast<int>(c.op) << ", reaction "
                                    << static_cast<int>(c.reaction));
    ASSERT_HR(S_OK, dict_->RemoveAll());
    for (const WCHAR* key : {OLESTR("a"), OLESTR("b"), OLESTR("c")}) ASSERT_HR(S_OK, Add(key, 1));
    zantest::CallbackObject value;
    ASSERT_HR(S_OK, AddUnderV(&value));
    UniqueVariant vKey = String(OLESTR("v"));
    value.onRelease = [this, reaction = c.reaction] {
      if (reaction == Reaction::AddsKeys) {
        for (int i = 10; i < 50; ++i) {
          const WCHAR key[] = {'k', static_cast<WCHAR>('0' + i / 10), static_cast<WCHAR>('0' + i % 10), 0};
          EXPECT_HR(S_OK, Add(key, i));
        }
      } else if (reaction == Reaction::RemovesKeys) {
        for (const WCHAR* key : {OLESTR("a"), OLESTR("c")}) {
          UniqueVariant k = String(key);
          EXPECT_HR(S_OK, dict_->Remove(k.get()));
        }
      } else {
        EXPECT_HR(S_OK, dict_->RemoveAll());
      }
    };
    UniqueVariant seven = Long(7), nullKey;
    V_VT(nullKey.get()) = VT_NULL;
    switch (c.op) {
      case Op::PutItem: EXPECT_HR(S_OK, dict_->put_Item(vKey.get(), seven.get())); break;
      case Op::AddOverIt: EXPECT_HR(5010, dict_->Add(vKey.get(), seven.get())); break;
      case Op::Remove: EXPECT_HR(S_OK, dict_->Remove(vKey.get())); break;
      case Op::RemoveByNull: EXPECT_HR(S_OK, dict_->Remove(nullKey.get())); break;
      case Op::RemoveAll: EXPECT_HR(S_OK, dict_->RemoveAll()); break;
    }
    EXPECT_EQ(c.keys, Texts(true));
    if (c.op == Op::PutItem && c.reaction != Reaction::Empties) {
      UniqueVariant now;
      ASSERT_HR(S_OK, dict_->get_Item(vKey.get(), now.get()));
      EXPECT_EQ(VT_I4, V_VT(now.get()));  // the new value, not the released object
    }
    if (c.op == Op::AddOverIt) {
      EXPECT_TRUE(value.onRelease);
      value.onRelease = nullptr;
      ASSERT_HR(S_OK, dict_->RemoveAll());
    }
    EXPECT_FALSE(value.onRelease) << "the value was not released";
    EXPECT_REFS(&value, 1);
  }
}

namespace {

// A key that sorts as its number does ("k0042").
UniqueVariant NumberKey(char prefix, int n) {
  const WCHAR text[] = {static_cast<WCHAR>(prefix), static_cast<WCHAR>('0' + n / 1000 % 10),
                        static_cast<WCHAR>('0' + n / 100 % 10), static_cast<WCHAR>('0' + n / 10 % 10),
                        static_cast<WCHAR>('0' + n % 10), 0};
  return String(text);
}

std::string NumberKeyText(char prefix, int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%04d", prefix, n);
  return text;
}

// Dictionaries of more entries than a line holds, held otherwise.
class LargeDictionaryTest : public DictionaryTest {
 protected:
  HRESULT AddNumber(char prefix, int n, LONG value) {
    UniqueVariant k = NumberKey(prefix, n), v = Long(value);
    return dict_->Add(k.get(), v.get());
  }
  HRESULT RemoveNumber(char prefix, int n) {
    UniqueVariant k = NumberKey(prefix, n);
    return dict_->Remove(k.get());
  }
  void Fill(char prefix, int count) {
    for (int i = 0; i < count; ++i) ASSERT_HR(S_OK, AddNumber(prefix, i, i));
  }
  // Keys and Items against the model, which maps key numbers to values.
  void ExpectEntries(const std::map<int, LONG>& model, const std::string& where) {
    Strings keys, items;
    for (const auto& [n, value] : model) {
      keys.push_back(NumberKeyText('k', n));
      items.push_back(std::to_string(value));
    }
    ASSERT_EQ(static_cast<LONG>(model.size()), Count()) << where;
    ASSERT_EQ(keys, Texts(true)) << where;
    ASSERT_EQ(items, Texts(false)) << where;
  }
};

}  // namespace

// Grown far past what a line holds, emptied to a few, grown again: every
// step in key order, whichever way the entries are held at the time.
TEST_F(LargeDictionaryTest, KeyOrderHoldsThroughAddsAndRemovesAcrossTheLineSize) {
  std::map<int, LONG> model;
  std::mt19937 random(24);
  int step = 0;
  for (size_t target : {200u, 5u, 90u, 0u, 70u, 12u, 130u, 60u}) {
    while (model.size() != target) {
      const std::string where = "step " + std::to_string(++step) + ", " + std::to_string(model.size()) + " entries";
      const int n = static_cast<int>(random() % 400);
      const LONG value = static_cast<LONG>(random() % 1000);
      if (model.size() < target) {
        const bool present = model.count(n) > 0;
        if (random() % 4 == 0) {
          UniqueVariant k = NumberKey('k', n), v = Long(value);
          ASSERT_HR(S_OK, dict_->put_Item(k.get(), v.get())) << where;
          model[n] = value;
        } else {
          ASSERT_HR(present ? 5010 : S_OK, AddNumber('k', n, value)) << where;
          model.emplace(n, value);
        }
      } else {
        // Mostly a present key, from anywhere; now and then a missing one.
        auto at = model.begin();
        std::advance(at, random() % model.size());
        const int gone = random() % 8 == 0 ? n : at->first;
        ASSERT_HR(S_OK, RemoveNumber('k', gone)) << where;
        model.erase(gone);
      }
      ExpectEntries(model, where);
      UniqueVariant probe = NumberKey('k', n), out;
      VARIANT_BOOL exists = VARIANT_FALSE;
      ASSERT_HR(S_OK, dict_->Exists(probe.get(), &exists));
      EXPECT_EQ(model.count(n) ? VARIANT_TRUE : VARIANT_FALSE, exists) << where;
      EXPECT_HR(model.count(n) ? S_OK : 1168, dict_->get_Item(probe.get(), out.get())) << where;
    }
  }
}

TEST_F(LargeDictionaryTest, RemoveAllRemoveByNullAndCloneOfALargeDictionary) {
  Fill('k', 150);
  UniqueVariant missing = NumberKey('k', 150);
  EXPECT_HR(S_OK, dict_->Remove(missing.get()));
  EXPECT_EQ(150, Count());
  EXPECT_HR(S_OK, RemoveByReference(OLESTR("k0100")));
  EXPECT_EQ(149, Count());
  ASSERT_HR(S_OK, AddNumber('k', 100, 100));

  ComPtr<Scripting::IDictionary> copy = Cloned();
  ASSERT_TRUE(copy);
  EXPECT_EQ(Texts(true), Texts(true, copy.get()));
  EXPECT_EQ(Texts(false), Texts(false, copy.get()));
  UniqueVariant nullKey;
  V_VT(nullKey.get()) = VT_NULL;
  EXPECT_HR(S_OK, copy->Remove(nullKey.get()));
  EXPECT_EQ(0, Count(copy.get()));
  EXPECT_EQ(150, Count());

  EXPECT_HR(S_OK, dict_->RemoveAll());
  EXPECT_EQ(0, Count());
  EXPECT_TRUE(Texts(true).empty());
  // Emptied, it holds entries as a new one does.
  ASSERT_HR(S_OK, AddNumber('k', 2, 2));
  ASSERT_HR(S_OK, AddNumber('k', 1, 1));
  EXPECT_EQ((Strings{"k0001", "k0002"}), Texts(true));
  Fill('j', 100);
  EXPECT_HR(S_OK, dict_->RemoveAll());
  EXPECT_EQ(0, Count());
}

// A value whose release changes the dictionary that releases it, in a
// dictionary held as a tree, and in one that the removal takes back to a
// line's size: the entries are whole before the value goes.
TEST_F(LargeDictionaryTest, AValueMayChangeALargeDictionaryWhileItIsReleased) {
  enum class Op { PutItem, Remove, RemoveByNull, RemoveAll };
  enum class Reaction { AddsKeys, RemovesKeys, Empties };
  for (int fillers : {100, 16}) {
    for (Op op : {Op::PutItem, Op::Remove, Op::RemoveByNull, Op::RemoveAll}) {
      for (Reaction reaction : {Reaction::AddsKeys, Reaction::RemovesKeys, Reaction::Empties}) {
        SCOPED_TRACE(testing::Message() << fillers << " fillers, operation " << static_cast<int>(op)
                                        << ", reaction " << static_cast<int>(reaction));
        ASSERT_HR(S_OK, dict_->RemoveAll());
        // Grown past a line's size first, so that 16 are left in a tree.
        Fill('k', std::max(fillers, 80));
        for (int i = fillers; i < 80; ++i) ASSERT_HR(S_OK, RemoveNumber('k', i));
        zantest::CallbackObject value;
        ASSERT_HR(S_OK, AddUnderV(&value));
        UniqueVariant vKey = String(OLESTR("v"));
        value.onRelease = [this, reaction] {
          if (reaction == Reaction::AddsKeys) {
            for (int i = 0; i < 100; ++i) EXPECT_HR(S_OK, AddNumber('m', i, i));
          } else if (reaction == Reaction::RemovesKeys) {
            for (int i = 0; i < 90; ++i) EXPECT_HR(S_OK, RemoveNumber('k', i));
          } else {
            EXPECT_HR(S_OK, dict_->RemoveAll());
          }
        };
        Strings keys;
        if (op == Op::PutItem || op == Op::Remove)
          for (int i = 0; i < fillers; ++i) keys.push_back(NumberKeyText('k', i));
        UniqueVariant seven = Long(7), nullKey;
        V_VT(nullKey.get()) = VT_NULL;
        switch (op) {
          case Op::PutItem: EXPECT_HR(S_OK, dict_->put_Item(vKey.get(), seven.get())); break;
          case Op::Remove: EXPECT_HR(S_OK, dict_->Remove(vKey.get())); break;
          case Op::RemoveByNull: EXPECT_HR(S_OK, dict_->Remove(nullKey.get())); break;
          case Op::RemoveAll: EXPECT_HR(S_OK, dict_->RemoveAll()); break;
        }
        if (reaction == Reaction::AddsKeys) {
          for (int i = 0; i < 100; ++i) keys.push_back(NumberKeyText('m', i));
        } else if (reaction == Reaction::RemovesKeys) {
          keys.erase(keys.begin(), keys.begin() + std::min<size_t>(90, keys.size()));
        } else {
          keys.clear();
        }
        if (op == Op::PutItem && reaction != Reaction::Empties) keys.push_back("v");
        EXPECT_EQ(keys, Texts(true));
        if (op == Op::PutItem && reaction != Reaction::Empties) {
          UniqueVariant now;
          ASSERT_HR(S_OK, dict_->get_Item(vKey.get(), now.get()));
          EXPECT_EQ(VT_I4, V_VT(now.get()));  // the new value, not the released object
        }
        EXPECT_FALSE(value.onRelease) << "the value was not released";
        EXPECT_REFS(&value, 1);
      }
    }
  }
}

// The last reference to a large dictionary: its values go after it is
// empty, as a small one's do.
TEST_F(LargeDictionaryTest, ValueThatCallsBackWhileALargeDictionaryDies) {
  Fill('k', 100);
  zantest::CallbackObject value;
  LONG countSeen = -1;
  UniqueVariant k = String(OLESTR("v")), v;
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = &value;
  value.AddRef();
  ASSERT_HR(S_OK, dict_->Add(k.get(), v.get()));
  v.Clear();
  value.onRelease = [dying = dict_.get(), &countSeen] {
    dying->AddRef();
    dying->get_Count(&countSeen);
    dying->Release();
  };
  dict_.Reset();
  EXPECT_FALSE(value.onRelease);
  EXPECT_EQ(0, countSeen);
  EXPECT_REFS(&value, 1);
}
