// Reading and writing script files line by line, the hot path of Load/Save.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "textio/encoded_text_file.h"
#include "textio/utf8.h"

namespace {

constexpr int kLines = 100000;

std::string SampleFile(int encoding) {
  std::string path = (std::filesystem::temp_directory_path() / ("zan_bench_" + std::to_string(encoding) + ".txt")).string();
  CEncodedTextFile file;
  WString wide(path.begin(), path.end());
  file.Open(wide.c_str(), OM_WRITE, encoding);
  for (int i = 0; i < kLines; ++i) {
    std::string line = "    call routine_" + std::to_string(i) + "(arg1, arg2) @@ script comments_;_note " +
                       std::to_string(i) + "_;_";
    WString w(line.begin(), line.end());
    BSTR b = SysAllocString(w.c_str());
    file.WriteLine(b, i + 1 < kLines);
    SysFreeString(b);
  }
  return path;
}

void BM_ReadLines(benchmark::State& state) {
  const int encoding = static_cast<int>(state.range(0));
  std::string path = SampleFile(encoding);
  WString wide(path.begin(), path.end());
  for (auto _ : state) {
    CEncodedTextFile file;
    file.Open(wide.c_str(), OM_READ, FE_UTF8);
    int lines = 0;
    WString line;  // one string for every line, as the loaders read
    while (!file.AtEnd()) {
      line.clear();
      if (file.ReadLineText(&line, true)) ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadLines)->Arg(FE_ANSI)->Arg(FE_UTF16LE)->Arg(FE_UTF8)->Unit(benchmark::kMillisecond);

void BM_WriteLines(benchmark::State& state) {
  const int encoding = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::string path = SampleFile(encoding);
    std::remove(path.c_str());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_WriteLines)->Arg(FE_ANSI)->Arg(FE_UTF16LE)->Arg(FE_UTF8)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The UTF-8 codec on a line of mixed text (Latin, accents, CJK).
void BM_Utf8Decode(benchmark::State& state) {
  std::string line;
  while (line.size() < 60) line += "Print \"Gr\xC3\xBC\xC3\x9F Gott\" & \xE4\xB8\x96\xE7\x95\x8C ";
  WCHAR out[256];
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToWide(line.c_str(), out, 256));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_Utf8Decode);

}  // namespace
