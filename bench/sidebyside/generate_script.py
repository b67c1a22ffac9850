#!/usr/bin/env python3
"""Writes a realistic saved script for the side-by-side benchmarks.

Seeded, so the same arguments give the same bytes: lines of about 50
characters, about 10% of them with non-ASCII text (Latin accents and CJK),
about 30% carrying one or two pieces of information (a comment, an author),
UTF-8 with a byte order mark, CR LF between lines, as ZanScript saves.

usage: generate_script.py OUT [LINES] [SEED]
"""
import random
import sys

WORDS = ["Print", "Dim", "Set", "If", "Then", "Else", "End", "For", "Next", "Call", "name", "count", "value",
         "total", "index", "result", "buffer", "item", "=", "+", "&", "(", ")", "\"text\"", "1", "42", "0"]
FOREIGN = ["Zoë", "Grüß", "déjà", "naïve", "Ærø", "こんにちは", "世界", "数据", "テスト", "안녕"]
COMMENTS = ["check the bounds", "called once per page", "see the header", "Zoë's fix", "temporary", "文字列の長さ"]
AUTHORS = ["ann", "bob", "chen", "dagmar", "élodie"]


def line(rng):
    words = []
    while sum(len(w) + 1 for w in words) < 50:
        words.append(rng.choice(WORDS))
    if rng.random() < 0.10:
        words[rng.randrange(len(words))] = rng.choice(FOREIGN)
    text = " ".join(words)
    r = rng.random()
    if r < 0.20:
        return text + " @@ script comments_;_" + rng.choice(COMMENTS) + "_;_"
    if r < 0.30:
        return (text + " @@ author_;_" + rng.choice(AUTHORS) + "_;_script comments_;_" + rng.choice(COMMENTS)
                + "_;_")
    return text


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    with open(out, "wb") as f:
        f.write(b"\xef\xbb\xbf")
        f.write("\r\n".join(line(rng) for _ in range(count)).encode("utf-8"))


if __name__ == "__main__":
    main()
