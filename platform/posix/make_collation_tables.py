#!/usr/bin/env python3
"""Writes the Latin part of the collator's tailoring and the reference
answers its test checks, both from the runtime's own sorting weights (Wine's
sortdefault.nls, the table its CompareString uses, in the Windows format:
per UTF-16 unit one byte each of primary weight, script member, diacritic
weight and case weight).

usage: make_collation_tables.py SORTDEFAULT_NLS RULES_INC ASCII_RULES_INC REFERENCE_INC LETTERS_INC [--check]
(--check fails when a file differs from what the table gives)

The rules order the symbols, digits and Latin letters of the BMP as the
runtime does: by script member and primary weight, then diacritic weight,
then case weight. The characters the runtime treats apart stay out: the
word-sort marks (script member 6, the hyphen and the apostrophe, which the
comparison sets aside itself), the ignorable soft hyphen, and the ligatures
that expand (script member 2), whose rules are written by hand. The
reference answers cover printable ASCII, Latin-1 and Latin Extended-A;
the letters' answers cover Latin Extended-B, Greek, Cyrillic and the kana,
each pair alone and inside a word.
"""
import struct
import sys
import unicodedata

KEYS_AT = 0x10
UNSORTABLE, NONSPACE, EXPANSION, EASTASIA, SPECIAL = 0, 1, 2, 3, 6
SOFT_HYPHEN = 0xAD
HIRAGANA = 0x20  # in a kana's case weight

ASCII = list(range(0x20, 0x7F))
LATIN1_SYMBOLS = list(range(0xA1, 0xC0)) + [0xD7, 0xF7]
LETTERS = [c for c in range(0xC0, 0x100) if c not in (0xD7, 0xF7)] + list(range(0x100, 0x180))
# The letters beyond Latin Extended-A whose answers the test checks.
WIDER_LETTERS = (
    ("Latin Extended-B", range(0x180, 0x250)),
    ("Greek", range(0x370, 0x400)),
    ("Cyrillic", range(0x400, 0x530)),
    ("Hiragana and Katakana", list(range(0x3041, 0x3097)) + list(range(0x30A1, 0x30FB))),
)
# The runtime's expansions of the ligatures in these blocks.
EXPANSIONS = {0xC6: "AE", 0xE6: "ae", 0xDE: "TH", 0xFE: "th", 0xDF: "ss", 0x132: "IJ", 0x133: "ij",
              0x152: "OE", 0x153: "oe"}


def keys_of(table):
    def key(c):
        primary, script, diacritic, case = struct.unpack_from("4B", table, KEYS_AT + 4 * c)
        return script, primary, diacritic, case
    return key


def expansions_of(table):
    """The table's expansions, by index: after the sort identifiers (36
    bytes each) their count, then two UTF-16 units each."""
    guids_at = struct.unpack_from("<I", table, 12)[0]
    guids = struct.unpack_from("<I", table, guids_at + 4)[0]
    at = guids_at + 8 + 36 * guids
    count = struct.unpack_from("<I", table, at)[0]
    return [struct.unpack_from("<2H", table, at + 4 + 4 * i) for i in range(count)]


def chain(key, ascii_symbols=False):
    """The tailoring: every simple character of the groups in the runtime's
    order, each related to the one before it at the first level that
    differs. With ascii_symbols, only ASCII's symbols and blanks, the rest
    left where the root order has it: the same order for ASCII text, and
    one that keeps ICU's fast path for Latin text."""
    # The runtime sorts symbols, digits, Latin, Greek and Cyrillic letters
    # (script members 7 to 16) before every other script; a character of
    # those groups left out of the chain would follow all of it, so the
    # chain holds them all.
    def included(c):
        if c in (0x09, 0xA0):
            return True
        if 0xD800 <= c < 0xF900 or unicodedata.category(chr(c)) in ("Cc", "Cf", "Cn", "Co", "Cs", "Mn", "Me", "Zl", "Zp"):
            return False
        return 7 <= key(c)[0] <= 16 and c != SOFT_HYPHEN
    simple = [c for c in range(0x10000) if included(c)]
    if ascii_symbols:
        simple = [c for c in simple if c < 0x80 and key(c)[0] < 13]
    simple.sort(key=lambda c: (key(c), c))
    rules = "&" + literal(simple[0])
    for before, c in zip(simple, simple[1:]):
        a, b = key(before), key(c)
        relation = "<" if a[:2] != b[:2] else "<<" if a[2] != b[2] else "<<<" if a[3] != b[3] else "="
        rules += " %s %s" % (relation, literal(c))
    return rules


def letter_rules(key, expansions):
    """What the chain leaves out among the wider letters: those the runtime
    expands equal the letters they stand for, and those it cannot sort are
    ignored, as it ignores them."""
    rules = ""
    for _, block in WIDER_LETTERS:
        for c in block:
            if not unicodedata.category(chr(c)).startswith("L"):
                continue
            script = key(c)[0]
            if script == EXPANSION and c not in EXPANSIONS:
                units = []

                def expand(u):
                    if key(u)[0] == EXPANSION:
                        for v in expansions[key(u)[2]]:
                            expand(v)
                    else:
                        units.append(u)
                expand(c)
                rules += " & %s = %s" % ("".join(literal(u) for u in units), literal(c))
            elif script == UNSORTABLE:
                rules += " & [last tertiary ignorable] = %s" % literal(c)
            elif script == NONSPACE:
                # A letter the runtime reads as a nonspacing mark weighs as
                # the combining mark of its diacritic weight.
                mark = next(m for m in range(0x300, 0x370) if key(m)[:3:2] == (NONSPACE, key(c)[2]))
                rules += " & %s = %s" % (literal(mark), literal(c))
    return rules + kana_rules(key)


def kana_case(case):
    """A kana's case weight as the runtime orders it: the syllabary (the
    hiragana bit) counts after size and width."""
    return (case & ~HIRAGANA) << 1 | (case & HIRAGANA) >> 5


def kana_key(key, c):
    script, primary, diacritic, case = key(c)
    return script, primary, diacritic, kana_case(case)


def kana_rules(key):
    """The kana of one primary weight (the small, plain and voiced forms of
    a syllable in both syllabaries) in the runtime's order of diacritic and
    case weights, each group where the root order has its first member."""
    kana = [c for _, block in WIDER_LETTERS for c in block if c >= 0x3000 and key(c)[0] == EASTASIA]
    rules = ""
    for primary in sorted({key(c)[1] for c in kana}):
        group = sorted((c for c in kana if key(c)[1] == primary), key=lambda c: (kana_key(key, c), c))
        rules += " & " + literal(group[0])
        for before, c in zip(group, group[1:]):
            a, b = kana_key(key, before), kana_key(key, c)
            rules += " %s %s" % ("<<" if a[2] != b[2] else "<<<" if a[3] != b[3] else "=", literal(c))
    return rules


def literal(c):
    """One character as the rule syntax takes it, written for a C++ UTF-16
    literal: letters and digits as themselves, anything else quoted; the
    characters beyond ASCII as C++ escapes (the rule parser's own \\u
    escapes do not tailor precomposed letters reliably)."""
    ch = chr(c)
    text = ch if c < 0x80 else "\\u%04X" % c
    if c == 0x5C:
        return "\\\\\\\\"  # an escaped backslash, in C++
    if c == 0x22:
        text = '\\"'
    if c == 0x09:
        text = "\\t"
    return text if ch.isalnum() else "'" + text + "'"


def compare(key, x, y):
    """The runtime's word-sort answer for two strings of simple characters
    and ligatures: primary weights, then diacritic weights, then case."""
    def weights(s):
        units = "".join(EXPANSIONS.get(ord(ch), ch) for ch in s)
        return [key(ord(u)) for u in units]
    wx, wy = weights(x), weights(y)
    for level in ((0, 1), (2,), (3,)):
        px = [tuple(k[i] for i in level) for k in wx]
        py = [tuple(k[i] for i in level) for k in wy]
        if px != py:
            return -1 if px < py else 1
    return 0


def reference(key):
    """Expected signs for every ordered pair of the Latin letters, and of
    printable ASCII and the Latin-1 symbols."""
    letters = [chr(c) for c in LETTERS]
    symbols = [chr(c) for c in ASCII + LATIN1_SYMBOLS if key(c)[0] != SPECIAL]
    pairs = [(a, b) for a in letters for b in letters if a != b]
    pairs += [(a, b) for a in symbols for b in symbols if a != b]
    return [(a, b, compare(key, a, b)) for a, b in pairs]


def runtime_weights(key, expansions, text):
    """The runtime's weights of a text, per level: expansions replaced by
    what they stand for, unsortable characters dropped, a nonspacing mark's
    diacritic weight added to the character before it (at the start it
    stands alone)."""
    units = []

    def expand(c):
        script, _, index, _ = key(c)
        if script == EXPANSION:
            for u in expansions[index]:
                expand(u)
        else:
            units.append(c)
    for ch in text:
        expand(ord(ch))
    primaries, diacritics, cases = [], [], []
    for c in units:
        script, primary, diacritic, case = key(c)
        if script == UNSORTABLE:
            continue
        if script == NONSPACE:
            if diacritics:
                diacritics[-1] += diacritic
            else:
                diacritics.append(diacritic)
            continue
        if script == EASTASIA:
            case = kana_case(case)
        primaries.append((script, primary))
        diacritics.append(diacritic)
        cases.append(case)
    return primaries, diacritics, cases


def runtime_compare(key, expansions, x, y):
    wx, wy = runtime_weights(key, expansions, x), runtime_weights(key, expansions, y)
    for lx, ly in zip(wx, wy):
        if lx != ly:
            return -1 if lx < ly else 1
    return 0


def letters_reference(key, expansions):
    """Per block of letters: the letters, then the signs of every ordered
    pair of different letters (a first, b second, in the letters' order),
    alone and inside a word ("xay" against "xby")."""
    blocks = []
    for name, block in WIDER_LETTERS:
        letters = [chr(c) for c in block if unicodedata.category(chr(c)).startswith("L")]
        alone, inside = [], []
        for a in letters:
            for b in letters:
                if a != b:
                    alone.append(runtime_compare(key, expansions, a, b))
                    inside.append(runtime_compare(key, expansions, "x" + a + "y", "x" + b + "y"))
        blocks.append((name, letters, alone, inside))
    return blocks


def signs_literal(signs):
    text = "".join("<=>"[s + 1] for s in signs)
    return "".join('    "%s"\n' % text[i:i + 100] for i in range(0, len(text), 100))


def letters_literal(letters):
    text = "".join("\\u%04X" % ord(ch) for ch in letters)
    return "".join('    u"%s"\n' % text[i:i + 96] for i in range(0, len(text), 96))


def main(argv):
    if len(argv) not in (6, 7):
        sys.exit(__doc__)
    table = open(argv[1], "rb").read()
    key, expansions = keys_of(table), expansions_of(table)
    header = "// Generated by platform/posix/make_collation_tables.py from the runtime's sorting weights.\n"
    rules = header + "u\"" + chain(key) + letter_rules(key, expansions) + "\"\n"
    ascii_rules = header + "u\"" + chain(key, ascii_symbols=True) + "\"\n"
    answers = header + "// {first, second, sign of the runtime's comparison}\n" + "".join(
        "{0x%04X, 0x%04X, %d},\n" % (ord(a), ord(b), sign) for a, b, sign in reference(key))
    letters = header + "// {block, letters, signs alone, signs inside a word}: one of <=> per pair\n" + "".join(
        "{\"%s\",\n%s,\n%s,\n%s},\n" % (name, letters_literal(chars), signs_literal(alone), signs_literal(inside))
        for name, chars, alone, inside in letters_reference(key, expansions))
    for path, text in ((argv[2], rules), (argv[3], ascii_rules), (argv[4], answers), (argv[5], letters)):
        if len(argv) == 7:
            if open(path).read() != text:
                sys.exit("%s differs from what %s gives" % (path, argv[1]))
        else:
            open(path, "w").write(text)


if __name__ == "__main__":
    main(sys.argv)
