// Line objects: a handful of keys each, written and read by key; and a
// host's dictionary of 100,000 keys, filled and emptied in any order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
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

// Each iteration adds the keys, in their order, to a new dictionary and lets
// it go; the keys are cleared afterwards.
void AddEachKey(benchmark::State& state, std::vector<VARIANT> keys) {
  VARIANT value = StringVariant("value");
  for (auto _ : state) {
    zan::ComPtr<Scripting::IDictionary> dict;
    CreateLineDictionary(dict.put());
    for (VARIANT& k : keys) dict->Add(&k, &value);
  }
  for (VARIANT& k : keys) VariantClear(&k);
  VariantClear(&value);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
}

void BM_DictionaryAdd(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<VARIANT> keys;
  for (int i = 0; i < n; ++i) keys.push_back(StringVariant("key " + std::to_string(i * 7919 % n)));
  AddEachKey(state, std::move(keys));
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

enum Order { kAscending, kDescending, kRandom };

// Keys that sort as their numbers do, in the given order.
std::vector<VARIANT> OrderedKeys(int n, int order) {
  std::vector<int> numbers(n);
  for (int i = 0; i < n; ++i) numbers[i] = order == kDescending ? n - 1 - i : i;
  if (order == kRandom) std::shuffle(numbers.begin(), numbers.end(), std::mt19937(24));
  std::vector<VARIANT> keys;
  char text[16];
  for (int number : numbers) {
    std::snprintf(text, sizeof text, "k%07d", number);
    keys.push_back(StringVariant(text));
  }
  return keys;
}

// Adds 100,000 keys in ascending, descending or random order (arg 0, 1, 2),
// and lets the dictionary go.
void BM_DictionaryAddMany(benchmark::State& state) {
  AddEachKey(state, OrderedKeys(100000, static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DictionaryAddMany)->Arg(kAscending)->Arg(kDescending)->Arg(kRandom)->Unit(benchmark::kMillisecond);

// Removes every key of a dictionary of 100,000 from the front, from the
// back or at random (arg 0, 1, 2); filling it is not timed.
void BM_DictionaryRemoveMany(benchmark::State& state) {
  const int n = 100000;
  std::vector<VARIANT> keys = OrderedKeys(n, kAscending);
  std::vector<VARIANT> removals = OrderedKeys(n, static_cast<int>(state.range(0)));
  VARIANT value = StringVariant("value");
  for (auto _ : state) {
    state.PauseTiming();
    zan::ComPtr<Scripting::IDictionary> dict;
    CreateLineDictionary(dict.put());
    for (VARIANT& k : keys) dict->Add(&k, &value);
    state.ResumeTiming();
    for (VARIANT& k : removals) dict->Remove(&k);
  }
  for (VARIANT& k : keys) VariantClear(&k);
  for (VARIANT& k : removals) VariantClear(&k);
  VariantClear(&value);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DictionaryRemoveMany)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
