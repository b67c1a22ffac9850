#!/usr/bin/env python3
"""B1: what a user without ZanScript would write in Python.

Reads a saved script, splits it into lines, parses each line's information
pairs into one dict per line, and joins the texts with LF (mode concat); or
does the same and writes the file back (mode save). Prints nothing but a
checksum line, so that runs can be compared.

usage: baseline.py concat|save FILE [OUT]
"""
import zlib
import sys

MARKER = " @@ "
SEPARATOR = "_;_"


def load(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    lines = []
    for raw in data.decode("utf-8").split("\r\n"):
        at = raw.rfind(MARKER)
        if at < 0:
            lines.append({"script source": raw})
            continue
        entry = {"script source": raw[:at].rstrip()}
        parts = raw[at + len(MARKER):].split(SEPARATOR)
        for i in range(0, len(parts) - 1, 2):
            entry[parts[i].strip()] = parts[i + 1].strip()
        lines.append(entry)
    return lines


def render(entry):
    info = "".join(k + SEPARATOR + v + SEPARATOR for k, v in sorted(entry.items()) if k != "script source")
    return entry["script source"] + (MARKER + info if info else "")


def main():
    mode, path = sys.argv[1], sys.argv[2]
    lines = load(path)
    if mode == "concat":
        text = "".join(e["script source"] + "\n" for e in lines)
        data = text.encode("utf-16-le")
        print("%08x:%d" % (zlib.crc32(data), len(data) // 2), len(lines))
    else:
        with open(sys.argv[3], "wb") as f:
            f.write(b"\xef\xbb\xbf" + "\r\n".join(render(e) for e in lines).encode("utf-8"))
        print("saved", len(lines))


if __name__ == "__main__":
    main()
