// The collation every dictionary lookup pays for, once per tree level.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "zanole/zanole.h"

namespace {

// Keys that differ after a shared word, as a line's information keys do;
// the word's script decides which collator compares them.
std::vector<BSTR> Keys(int n, const WString& word = u"key number ") {
  std::vector<BSTR> keys;
  for (int i = 0; i < n; ++i) {
    const std::string number = std::to_string(i * 7919 % n);
    const WString w = word + WString(number.begin(), number.end());
    keys.push_back(SysAllocString(w.c_str()));
  }
  return keys;
}

void CompareNeighbours(benchmark::State& state, const std::vector<BSTR>& keys) {
  // The full collator is built on the first comparison beyond ASCII;
  // BM_CollatorOpen measures that, so it is paid before the loop.
  VarBstrCmp(keys[0], keys[1], LOCALE_USER_DEFAULT, 0);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(VarBstrCmp(keys[i & 1023], keys[(i + 1) & 1023], LOCALE_USER_DEFAULT, 0));
    ++i;
  }
  for (BSTR k : keys) SysFreeString(k);
  state.SetItemsProcessed(state.iterations());
}

void BM_VarBstrCmp(benchmark::State& state) { CompareNeighbours(state, Keys(1024)); }
BENCHMARK(BM_VarBstrCmp);

// Text beyond ASCII takes the full tailoring: Greek (0), Cyrillic (1).
void BM_VarBstrCmpBeyondAscii(benchmark::State& state) {
  const WString greek = u"\u03BA\u03BB\u03B5\u03B9\u03B4\u03AF ", cyrillic = u"\u043A\u043B\u044E\u0447 ";
  CompareNeighbours(state, Keys(1024, state.range(0) == 0 ? greek : cyrillic));
}
BENCHMARK(BM_VarBstrCmpBeyondAscii)->Arg(0)->Arg(1);

void BM_VarBstrCmpWithHyphens(benchmark::State& state) {
  BSTR a = SysAllocString(OLESTR("co-operative line-info key"));
  BSTR b = SysAllocString(OLESTR("cooperative line-info key"));
  for (auto _ : state) benchmark::DoNotOptimize(VarBstrCmp(a, b, LOCALE_USER_DEFAULT, 0));
  SysFreeString(a);
  SysFreeString(b);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VarBstrCmpWithHyphens);

}  // namespace
