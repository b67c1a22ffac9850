// The two tailorings the comparison opens, in one place for the platform,
// the tool that builds the full one's image and the benchmarks.
#pragma once

namespace zanole {

// The user locale's collation as the Windows runtime applies it: CLDR
// order, with the BMP's symbols, digits, Latin, Greek and Cyrillic letters
// in the runtime's own order (its primary, diacritic and case weights,
// generated from its sorting table), the letters it expands equal to the
// letters they stand for, and the letters it cannot sort ignored.
inline constexpr char16_t kRuntimeRules[] =
#include "collation_rules.inc"
    u" & ae = \u00E6 & AE = \u00C6 & oe = \u0153 & OE = \u0152 & ss = \u00DF"
    u" & th = \u00FE & TH = \u00DE & ij = \u0133 & IJ = \u0132";

// The same order for text that is ASCII only, from a tailoring of ASCII's
// symbols alone: that keeps ICU's fast path for Latin text, about five
// times as fast as the full tailoring.
inline constexpr char16_t kAsciiRules[] =
#include "collation_ascii_rules.inc"
    ;

}  // namespace zanole
