// Building a script: appending text, reading line information, resizing.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_script.h"

namespace {

BSTR ScriptText(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "    call routine_" + std::to_string(i) + "(arg)\r\n";
  WString w(text.begin(), text.end());
  return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

void BM_AppendScriptLine(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BSTR text = ScriptText(n);
  for (auto _ : state) {
    zan::ComPtr<IScript4> script = NewScript();
    script->AppendScriptLine(text);
  }
  SysFreeString(text);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AppendScriptLine)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A script of that many short lines.
zan::ComPtr<IScript4> ScriptOfLines(int lines) {
  zan::ComPtr<IScript4> script = NewScript();
  BSTR text = ScriptText(lines);
  script->AppendScriptLine(text);
  SysFreeString(text);
  return script;
}

void BM_GetLineInfo(benchmark::State& state) {
  zan::ComPtr<IScript4> script = ScriptOfLines(10000);
  BSTR key = SysAllocString(OLESTR("script source"));
  LONG i = 0;
  for (auto _ : state) {
    BSTR value = nullptr;
    script->GetLineInfo(i++ % 10000, key, &value);
    SysFreeString(value);
  }
  SysFreeString(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetLineInfo);

void BM_SetLineInfo(benchmark::State& state) {
  zan::ComPtr<IScript4> script = ScriptOfLines(10000);
  BSTR key = SysAllocString(OLESTR("script comments"));
  BSTR value = SysAllocString(OLESTR("a comment of some length"));
  LONG i = 0;
  for (auto _ : state) script->SetLineInfo(i++ % 10000, key, value);
  SysFreeString(key);
  SysFreeString(value);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetLineInfo);

void BM_InsertAtFront(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    zan::ComPtr<IScript4> script = NewScript();
    for (int i = 0; i < n; ++i) script->put_Line(0, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_InsertAtFront)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
