#!/usr/bin/env python3
"""Makes the type library refer to the standard OLE library's IUnknown only.

The IDL compiler resolves the interfaces' base IUnknown to the imported
stdole2 type, but a coclass that lists IUnknown itself gets a local copy of
it (without its GUID), and that copy drags in GUID and IID. This rewrites
the binary library so that every reference to the copy points at the import,
then drops the copy and every type that only it needed. It refuses (exit 1)
anything it does not fully understand, so a new compiler cannot slip a
broken library into the build.

usage: use_imported_iunknown.py IN.tlb OUT.tlb
"""
import struct
import sys
import uuid

MAGIC = 0x5446534D
RECORD = 100
IID_IUNKNOWN = uuid.UUID("00000000-0000-0000-C000-000000000046")
VT_PTR, VT_SAFEARRAY, VT_USERDEFINED, VT_VOID = 26, 27, 29, 24
TKIND_INTERFACE, TKIND_DISPATCH, TKIND_COCLASS, TKIND_ALIAS = 3, 4, 5, 6
SEG_TYPEINFO, SEG_IMPINFO, SEG_GUIDS, SEG_NAMES, SEG_TYPEDESCS, SEG_REFTAB = 0, 1, 5, 7, 9, 3


def fail(message):
    sys.exit("use_imported_iunknown: " + message)


class Library:
    def __init__(self, data):
        self.d = data
        h = struct.unpack_from("<21i", data, 0)
        if h[0] != MAGIC:
            fail("not a binary type library")
        self.count = h[8]
        self.offsets_at = 84 + (4 if h[5] & 0x100 else 0)
        self.segdir_at = self.offsets_at + 4 * self.count
        self.segs = [list(struct.unpack_from("<4i", data, self.segdir_at + 16 * i)) for i in range(15)]
        if self.segs[SEG_TYPEINFO][1] != RECORD * self.count:
            fail("unexpected type record segment")

    def i32(self, at):
        return struct.unpack_from("<i", self.d, at)[0]

    def put(self, at, value):
        struct.pack_into("<i", self.d, at, value)

    def rec(self, index, word):
        return self.segs[SEG_TYPEINFO][0] + RECORD * index + 4 * word

    def kind(self, index):
        return self.i32(self.rec(index, 0)) & 0xF

    def name(self, index):
        at = self.segs[SEG_NAMES][0] + self.i32(self.rec(index, 13))
        return bytes(self.d[at + 12:at + 12 + (self.i32(at + 8) & 0xFF)]).decode("latin-1")

    def guid_at(self, offset):
        at = self.segs[SEG_GUIDS][0] + offset
        return uuid.UUID(bytes_le=bytes(self.d[at:at + 16]))

    def import_guid(self, href):
        return self.guid_at(self.i32(self.segs[SEG_IMPINFO][0] + (href & ~3) + 8))

    def typedesc_refs(self, encoded, out):
        """Local hrefs a type encoding names, and the typedesc entries on the way."""
        while encoded >= 0:
            at = self.segs[SEG_TYPEDESCS][0] + encoded
            td = struct.unpack_from("<4h", self.d, at)
            vt = td[0] & 0xFFF
            if vt == VT_USERDEFINED:
                out.append(("href", (td[2] & 0xFFFF) | ((td[3] & 0xFFFF) << 16), at))
                return
            if vt not in (VT_PTR, VT_SAFEARRAY) or td[3] < 0:
                return
            encoded = td[2] & 0xFFFF

    def refs(self, index):
        """(kind, href, where) for each type reference of one type."""
        out = []
        kind, datatype1 = self.kind(index), self.i32(self.rec(index, 21))
        if kind == TKIND_COCLASS:
            ref = datatype1
            while ref != -1:
                at = self.segs[SEG_REFTAB][0] + ref
                out.append(("reftab", self.i32(at), at))
                ref = self.i32(at + 12)
        elif kind in (TKIND_INTERFACE, TKIND_DISPATCH) and datatype1 != -1:
            out.append(("base", datatype1, self.rec(index, 21)))
        elif kind == TKIND_ALIAS:
            self.typedesc_refs(datatype1, out)
        elements = self.i32(self.rec(index, 6))
        funcs, variables = elements & 0xFFFF, elements >> 16
        if funcs or variables:
            at = self.i32(self.rec(index, 1)) + 4
            for n in range(funcs + variables):
                size = self.i32(at) & 0xFFFF
                self.typedesc_refs(self.i32(at + 4), out)
                if n < funcs:
                    args = struct.unpack_from("<h", self.d, at + 20)[0]
                    for a in range(args):
                        self.typedesc_refs(self.i32(at + size - 12 * (args - a)), out)
                at += size
        return out


def main(source, target):
    lib = Library(bytearray(open(source, "rb").read()))
    copies = [i for i in range(lib.count)
              if lib.kind(i) == TKIND_INTERFACE and lib.name(i) == "IUnknown" and lib.i32(lib.rec(i, 11)) == -1]
    if not copies:
        open(target, "wb").write(lib.d)
        return
    imported = [r[1] for i in range(lib.count) for r in lib.refs(i)
                if r[1] & 3 and lib.import_guid(r[1]) == IID_IUNKNOWN]
    if len(copies) != 1 or not imported:
        fail("no imported IUnknown to refer to")
    copy, stdole_iunknown = copies[0], imported[0]

    # Point every reference at the import, then keep what the typed
    # entries (those with a GUID) still reach.
    for i in range(lib.count):
        for kind, href, at in lib.refs(i):
            if href == copy * RECORD and kind in ("reftab", "base"):
                lib.put(at, stdole_iunknown)
    keep, todo = set(), [i for i in range(lib.count) if lib.i32(lib.rec(i, 11)) != -1]
    while todo:
        i = todo.pop()
        if i in keep:
            continue
        keep.add(i)
        todo += [r[1] // RECORD for r in lib.refs(i) if r[1] & 3 == 0]
    cut = len(keep)
    if keep != set(range(cut)):
        fail("the types to drop are not the last ones")
    dropped = {i * RECORD for i in range(cut, lib.count)}

    # Names, GUIDs and type descriptions that named a dropped type name none.
    start, length = lib.segs[SEG_NAMES][:2]
    at = start
    while at < start + length:
        if lib.i32(at) in dropped:
            lib.put(at, -1)
        at += 12 + ((lib.i32(at + 8) & 0xFF) + 3 & ~3)
    start, length = lib.segs[SEG_GUIDS][:2]
    for at in range(start, start + length, 24):
        if lib.i32(at + 16) in dropped:
            lib.put(at + 16, -1)
    for i in range(cut, lib.count):
        for kind, href, at in lib.refs(i):
            if kind == "href" and href in dropped:
                struct.pack_into("<4h", lib.d, at, VT_VOID, 0, 0, 0)

    # The dropped types' member records end the file; cut them, the type
    # records and their offsets, and move every absolute offset.
    member_starts = [lib.i32(lib.rec(i, 1)) for i in range(cut, lib.count) if lib.i32(lib.rec(i, 6))]
    member_end = min(member_starts, default=len(lib.d))
    for i in range(cut):
        if lib.i32(lib.rec(i, 6)) and lib.i32(lib.rec(i, 1)) >= member_end:
            fail("member records of kept types follow dropped ones")
    cuts = [(lib.offsets_at + 4 * cut, 4 * (lib.count - cut)),
            (lib.segs[SEG_TYPEINFO][0] + RECORD * cut, RECORD * (lib.count - cut)),
            (member_end, len(lib.d) - member_end)]

    def moved(offset):
        return offset - sum(n for at, n in cuts if at < offset)

    for i in range(cut):
        lib.put(lib.rec(i, 1), moved(lib.i32(lib.rec(i, 1))))
    for s in lib.segs:
        if s[0] >= 0:
            s[0] = moved(s[0])
    lib.segs[SEG_TYPEINFO][1] = RECORD * cut
    for i, s in enumerate(lib.segs):
        struct.pack_into("<4i", lib.d, lib.segdir_at + 16 * i, *s)
    lib.put(32, cut)
    out = bytearray()
    at = 0
    for start, n in sorted(cuts):
        out += lib.d[at:start]
        at = start + n
    out += lib.d[at:]
    open(target, "wb").write(out)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
