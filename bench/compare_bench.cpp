// The collation every dictionary lookup pays for, once per tree level.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "zanole/zanole.h"

namespace {

std::vector<BSTR> Keys(int n) {
  std::vector<BSTR> keys;
  for (int i = 0; i < n; ++i) {
    std::string s = "key number " + std::to_string(i * 7919 % n);
    WString w(s.begin(), s.end());
    keys.push_back(SysAllocString(w.c_str()));
  }
  return keys;
}

void BM_VarBstrCmp(benchmark::State& state) {
  std::vector<BSTR> keys = Keys(1024);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(VarBstrCmp(keys[i & 1023], keys[(i + 1) & 1023], LOCALE_USER_DEFAULT, 0));
    ++i;
  }
  for (BSTR k : keys) SysFreeString(k);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VarBstrCmp);

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
