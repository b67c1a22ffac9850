// Line objects: a handful of keys each, written and read by key.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/com_ptr.h"
#include "dictionary/zan_dictionary.h"

namespace {

VARIANT StringVariant(const std::string& s) {
  WString w(s.begin(), s.end());
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(w.c_str());
  return v;
}

void BM_DictionaryAdd(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<VARIANT> keys;
  for (int i = 0; i < n; ++i) keys.push_back(StringVariant("key " + std::to_string(i * 7919 % n)));
  VARIANT value = StringVariant("value");
  for (auto _ : state) {
    zan::ComPtr<Scripting::IDictionary> dict;
    CreateLineDictionary(dict.put());
    for (VARIANT& k : keys) dict->Add(&k, &value);
  }
  for (VARIANT& k : keys) VariantClear(&k);
  VariantClear(&value);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DictionaryAdd)->Arg(4)->Arg(64)->Arg(4096);

void BM_DictionaryGetItem(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  zan::ComPtr<Scripting::IDictionary> dict;
  CreateLineDictionary(dict.put());
  std::vector<VARIANT> keys;
  VARIANT value = StringVariant("value");
  for (int i = 0; i < n; ++i) {
    keys.push_back(StringVariant("key " + std::to_string(i)));
    dict->Add(&keys.back(), &value);
  }
  size_t i = 0;
  for (auto _ : state) {
    VARIANT out;
    VariantInit(&out);
    dict->get_Item(&keys[i++ % keys.size()], &out);
    VariantClear(&out);
  }
  for (VARIANT& k : keys) VariantClear(&k);
  VariantClear(&value);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DictionaryGetItem)->Arg(4)->Arg(4096);

// Exists with a key that only the collation finds equal to a stored one
// (arg 1), or an identical string (arg 0).
void BM_DictionaryExists(benchmark::State& state) {
  zan::ComPtr<Scripting::IDictionary> dict;
  CreateLineDictionary(dict.put());
  VARIANT stored = StringVariant("script source"), value = StringVariant("value");
  dict->Add(&stored, &value);
  VARIANT probe = StringVariant(state.range(0) ? "script source " : "script source");
  VARIANT_BOOL exists;
  for (auto _ : state) dict->Exists(&probe, &exists);
  VariantClear(&stored);
  VariantClear(&value);
  VariantClear(&probe);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DictionaryExists)->Arg(0)->Arg(1);

}  // namespace
