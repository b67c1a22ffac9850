// Single characters compared by VarBstrCmp (user locale, flags 0) against
// the answers the runtime's sorting weights give: every ordered pair of the
// Latin-1 and Latin Extended-A letters, and of printable ASCII and the
// Latin-1 symbols (ASCII pairs go through the collator kept for ASCII text,
// the others through the full one). Under Wine the same table checks the
// reference itself against the real runtime.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/hresult.h"
#include "support/wine.h"
#include "zanole/zanole.h"

namespace {

struct Pair {
  unsigned first, second;
  int sign;
};

const Pair kReference[] = {
#include "collation_reference.inc"
};

int Compare(unsigned a, unsigned b) {
  OLECHAR x[2] = {static_cast<OLECHAR>(a), 0}, y[2] = {static_cast<OLECHAR>(b), 0};
  BSTR left = SysAllocString(x), right = SysAllocString(y);
  const HRESULT r = VarBstrCmp(left, right, LOCALE_USER_DEFAULT, 0);
  SysFreeString(left);
  SysFreeString(right);
  return r == VARCMP_LT ? -1 : r == VARCMP_EQ ? 0 : r == VARCMP_GT ? 1 : 9;
}

bool IsLetter(unsigned c) { return c >= 0xC0 && c != 0xD7 && c != 0xF7; }

TEST(CollationFidelity, SingleLatinCharactersOrderAsTheRuntimeOrdersThem) {
  size_t letters = 0, lettersAgreeing = 0, symbols = 0, symbolsAgreeing = 0;
  std::string firstDisagreements;
  for (const Pair& p : kReference) {
    const bool agree = Compare(p.first, p.second) == p.sign;
    const bool letter = IsLetter(p.first) && IsLetter(p.second);
    (letter ? letters : symbols) += 1;
    (letter ? lettersAgreeing : symbolsAgreeing) += agree;
    if (!agree && firstDisagreements.size() < 400) {
      char line[64];
      std::snprintf(line, sizeof line, " U+%04X/U+%04X (expected %d)", p.first, p.second, p.sign);
      firstDisagreements += line;
    }
  }
  std::printf("[ COLLATION ] letters: %zu of %zu pairs agree; symbols: %zu of %zu\n", lettersAgreeing, letters,
              symbolsAgreeing, symbols);
  // At least 99.9% of each kind agree.
  EXPECT_GE(lettersAgreeing * 1000, letters * 999) << firstDisagreements;
  EXPECT_GE(symbolsAgreeing * 1000, symbols * 999) << firstDisagreements;
}

}  // namespace
