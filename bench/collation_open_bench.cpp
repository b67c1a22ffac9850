// What opening the full collator costs: the tailoring the platform builds on
// the first comparison of text beyond ASCII, and the one kept for ASCII text.
#include <benchmark/benchmark.h>
#include <unicode/ucol.h>

namespace {

constexpr char16_t kRuntimeRules[] =
#include "platform/posix/collation_rules.inc"
    ;
constexpr char16_t kAsciiRules[] =
#include "platform/posix/collation_ascii_rules.inc"
    ;

void Open(benchmark::State& state, const char16_t* rules) {
  for (auto _ : state) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    UCollator* c = ucol_openRules(rules, -1, UCOL_DEFAULT, UCOL_TERTIARY, &parseError, &status);
    if (U_FAILURE(status)) state.SkipWithError("the tailoring does not parse");
    ucol_close(c);
  }
}

void BM_CollatorOpen(benchmark::State& state) { Open(state, kRuntimeRules); }
BENCHMARK(BM_CollatorOpen)->Unit(benchmark::kMillisecond);

void BM_AsciiCollatorOpen(benchmark::State& state) { Open(state, kAsciiRules); }
BENCHMARK(BM_AsciiCollatorOpen)->Unit(benchmark::kMicrosecond);

}  // namespace
