#!/usr/bin/env python3
"""Mends two faults of the type library that widl 7.0 writes, in place, and checks the result.

1. The last byte of the library's GUID comes out wrong (it holds the IDispatch reference
   number instead): every GUID given on the command line is restored where only that byte
   differs.
2. The import record that the header names as IDispatch's (dispatchpos) points nowhere, so
   loaders resolve ICabine's base to the wrong record of stdole2: it is made to name IDispatch
   by its GUID.

Usage: mend_typelib.py FILE.tlb GUID...
"""
import struct
import sys
import uuid

IDISPATCH = uuid.UUID("00020400-0000-0000-C000-000000000046")
OFFSET_IS_GUID = 0x00010000
HEADER = ("magic1 magic2 posguid lcid lcid2 varflags version flags nrtypeinfos helpstring "
          "helpstringcontext helpcontext nametablecount nametablechars NameOffset helpfile "
          "CustomDataOffset res44 res48 dispatchpos nimpinfos").split()
SEG_IMPINFO, SEG_GUID = 1, 5


def fail(msg):
    sys.exit("mend_typelib: " + msg)


def main():
    path, wanted = sys.argv[1], [uuid.UUID(g) for g in sys.argv[2:]]
    data = bytearray(open(path, "rb").read())
    if data[:4] != b"MSFT":
        fail("not an MSFT type library: " + path)
    h = dict(zip(HEADER, struct.unpack_from("<21i", data, 0)))
    seg_at = 84 + (4 if h["varflags"] & 0x100 else 0) + 4 * h["nrtypeinfos"]
    segs = [struct.unpack_from("<4i", data, seg_at + 16 * i) for i in range(15)]
    guid_at, guid_len = segs[SEG_GUID][0], segs[SEG_GUID][1]
    imp_at, imp_len = segs[SEG_IMPINFO][0], segs[SEG_IMPINFO][1]

    guids = {}  # offset in the GUID table -> GUID
    for off in range(0, guid_len, 24):
        guids[off] = uuid.UUID(bytes_le=bytes(data[guid_at + off:guid_at + off + 16]))
    for want in wanted:
        if want in guids.values():
            continue
        near = [o for o, g in guids.items() if g.bytes_le[:15] == want.bytes_le[:15]]
        if len(near) != 1:
            fail("GUID %s is missing from %s" % (want, path))
        data[guid_at + near[0] + 15] = want.bytes_le[15]
        guids[near[0]] = want

    dispatch_off = [o for o, g in guids.items() if g == IDISPATCH]
    if h["dispatchpos"] != -1:
        rec = h["dispatchpos"] & ~1
        if not dispatch_off or rec + 12 > imp_len:
            fail("no IDispatch import to mend")
        flags, impfile, oguid = struct.unpack_from("<3i", data, imp_at + rec)
        if not (flags & OFFSET_IS_GUID) or guids.get(oguid) != IDISPATCH:
            struct.pack_into("<3i", data, imp_at + rec, flags | OFFSET_IS_GUID, impfile,
                             dispatch_off[0])
    # No import may be left pointing outside the GUID table.
    for off in range(0, imp_len, 12):
        flags, _, oguid = struct.unpack_from("<3i", data, imp_at + off)
        if flags & OFFSET_IS_GUID and oguid not in guids:
            fail("import record at %d names no GUID" % off)
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
