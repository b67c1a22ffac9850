// What opening a collator costs: the full tailoring from its rules (what
// its image saves), from the image the platform opens on the first
// comparison of text beyond ASCII, and the one kept for ASCII text.
#include <benchmark/benchmark.h>
#include <unicode/ucol.h>

#include "platform/posix/collation_rules.h"

namespace {

alignas(16) constexpr unsigned char kRuntimeImage[] = {
#include "collation_image.inc"
};

void Open(benchmark::State& state, const char16_t* rules) {
  for (auto _ : state) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    UCollator* c = ucol_openRules(rules, -1, UCOL_DEFAULT, UCOL_TERTIARY, &parseError, &status);
    if (U_FAILURE(status)) state.SkipWithError("the tailoring does not parse");
    ucol_close(c);
  }
}

void BM_CollatorOpen(benchmark::State& state) { Open(state, zanole::kRuntimeRules); }
BENCHMARK(BM_CollatorOpen)->Unit(benchmark::kMillisecond);

void BM_CollatorOpenFromImage(benchmark::State& state) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* root = ucol_open("", &status);
  for (auto _ : state) {
    UCollator* c = ucol_openBinary(kRuntimeImage, sizeof kRuntimeImage, root, &status);
    if (U_FAILURE(status)) state.SkipWithError("ICU does not take the image");
    ucol_close(c);
  }
  ucol_close(root);
}
BENCHMARK(BM_CollatorOpenFromImage)->Unit(benchmark::kMicrosecond);

void BM_AsciiCollatorOpen(benchmark::State& state) { Open(state, zanole::kAsciiRules); }
BENCHMARK(BM_AsciiCollatorOpen)->Unit(benchmark::kMicrosecond);

}  // namespace
