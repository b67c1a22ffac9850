// Single characters compared by VarBstrCmp (user locale, flags 0) against
// the answers the runtime's sorting weights give: every ordered pair of the
// Latin-1 and Latin Extended-A letters, and of printable ASCII and the
// Latin-1 symbols (ASCII pairs go through the collator kept for ASCII text,
// the others through the full one); then the letters of the wider blocks,
// alone and inside a word. Under Wine the same tables check the reference
// itself against the real runtime.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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

// The letters beyond Latin Extended-A, per block: each ordered pair of
// different letters alone and inside a word ("xay" against "xby").
struct LetterBlock {
  const char* name;
  const char16_t* letters;
  const char* alone;
  const char* inside;
};

const LetterBlock kLetterBlocks[] = {
#include "collation_letters.inc"
};

int Sign(const OLECHAR* x, const OLECHAR* y) {
  BSTR left = SysAllocString(x), right = SysAllocString(y);
  const HRESULT r = VarBstrCmp(left, right, LOCALE_USER_DEFAULT, 0);
  SysFreeString(left);
  SysFreeString(right);
  return r == VARCMP_LT ? -1 : r == VARCMP_EQ ? 0 : r == VARCMP_GT ? 1 : 9;
}

int Compare(unsigned a, unsigned b) {
  OLECHAR x[2] = {static_cast<OLECHAR>(a), 0}, y[2] = {static_cast<OLECHAR>(b), 0};
  return Sign(x, y);
}

int CompareInside(unsigned a, unsigned b) {
  OLECHAR x[4] = {u'x', static_cast<OLECHAR>(a), u'y', 0}, y[4] = {u'x', static_cast<OLECHAR>(b), u'y', 0};
  return Sign(x, y);
}

int SignOf(char c) { return c == '<' ? -1 : c == '=' ? 0 : 1; }

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

namespace {

// Every letter of Latin Extended-B, Greek, Cyrillic and the kana: no pair is
// known to differ. ZAN_COLLATION_DUMP names a file that receives every answer
// (under Wine, the runtime's own, to check the generator's model against).
TEST(CollationFidelity, WiderLettersOrderAsTheRuntimeOrdersThem) {
  FILE* dump = std::getenv("ZAN_COLLATION_DUMP") ? std::fopen(std::getenv("ZAN_COLLATION_DUMP"), "w") : nullptr;
  for (const LetterBlock& block : kLetterBlocks) {
    const std::u16string letters(block.letters);
    size_t pairs = 0, agreeing = 0, next = 0;
    std::string firstDisagreements;
    for (char16_t a : letters) {
      for (char16_t b : letters) {
        if (a == b) continue;
        const int alone = Compare(a, b), inside = CompareInside(a, b);
        if (dump) std::fprintf(dump, "%04X %04X %d %d\n", a, b, alone, inside);
        const int expected[2] = {SignOf(block.alone[next]), SignOf(block.inside[next])};
        ++next;
        // A pair agrees when it agrees both alone and inside the word.
        ++pairs;
        if (alone == expected[0] && inside == expected[1]) {
          ++agreeing;
        } else if (firstDisagreements.size() < 400) {
          char line[96];
          std::snprintf(line, sizeof line, " U+%04X/U+%04X (expected %d %d, got %d %d)", a, b, expected[0],
                        expected[1], alone, inside);
          firstDisagreements += line;
        }
      }
    }
    std::printf("[ COLLATION ] %s: %zu of %zu pairs agree\n", block.name, agreeing, pairs);
    EXPECT_GE(agreeing * 1000, pairs * 999) << block.name << firstDisagreements;
  }
  if (dump) std::fclose(dump);
}

}  // namespace
