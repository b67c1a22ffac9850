// Saving and loading a large script file, and reading it back as one text:
// each must cost the same per line whatever the script's length.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_script.h"
#include "base/unique_bstr.h"

namespace {

// A file of n lines of about 50 characters, every third with a comment.
WString WriteScriptFile(int n) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / ("zan_bench_" + std::to_string(n) + ".txt");
  if (!std::filesystem::exists(path)) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("\xEF\xBB\xBF", f);
    for (int i = 0; i < n; ++i) {
      std::fprintf(f, "    result_%d = call_routine(argument_%d, %d)", i, i % 97, i);
      if (i % 3 == 0) std::fprintf(f, " @@ script comments_;_ // note %d_;_", i);
      if (i + 1 < n) std::fputs("\r\n", f);
    }
    std::fclose(f);
  }
  std::u16string name = path.u16string();
  return WString(name.begin(), name.end());
}

// A script loaded from the file name.
zan::ComPtr<IScript4> Loaded(const WString& name, zan::ComPtr<IPersistFile>* file) {
  zan::ComPtr<IScript4> script = NewScript();
  script.As(IID_IPersistFile, file);
  (*file)->Load(name.c_str(), 0);
  return script;
}

void BM_LoadScriptFile(benchmark::State& state) {
  const WString name = WriteScriptFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    zan::ComPtr<IScript4> script = NewScript();
    zan::ComPtr<IPersistFile> file;
    script.As(IID_IPersistFile, &file);
    if (FAILED(file->Load(name.c_str(), 0))) state.SkipWithError("load failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadScriptFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SaveScriptFile(benchmark::State& state) {
  const WString name = WriteScriptFile(static_cast<int>(state.range(0)));
  zan::ComPtr<IPersistFile> file;
  zan::ComPtr<IScript4> script = Loaded(name, &file);
  const WString out = name + OLESTR(".saved");
  for (auto _ : state) {
    if (FAILED(file->Save(out.c_str(), FALSE))) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveScriptFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ConcatScriptLines(benchmark::State& state) {
  zan::ComPtr<IPersistFile> file;
  zan::ComPtr<IScript4> script = Loaded(WriteScriptFile(static_cast<int>(state.range(0))), &file);
  for (auto _ : state) {
    zan::UniqueBstr text;
    script->get_ConcatScriptLinesWithComments(text.put());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ConcatScriptLines)->Arg(100000)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
