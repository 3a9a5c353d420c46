#!/usr/bin/python3
"""Dumps the filtered rows of PNG files (their IDAT payload, inflated) into a
folder, one .raw file each, so that deflaters can be compared on exactly
the bytes a PNG stream carries.

usage: dump_filtered_rows.py OUTDIR [PNG folders...]
Default folders: the shared sample corpus and the bundled PngSuite.  Files
whose chunks or stream are broken (PngSuite's x* cases) are skipped.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FOLDERS = [
    ("samples", "/work/shared/corpus/samples"),
    ("pngsuite", os.path.join(HERE, "..", "tests", "data", "pngsuite")),
]


def idat_payload(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    pos, parts = 8, []
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if pos + 12 + length > len(data):
            return None
        if kind == b"IDAT":
            parts.append(data[pos + 8:pos + 8 + length])
        pos += 12 + length
        if kind == b"IEND":
            break
    try:
        return zlib.decompress(b"".join(parts))
    except zlib.error:
        return None


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    folders = [(os.path.basename(os.path.normpath(f)), f) for f in sys.argv[2:]] or DEFAULT_FOLDERS
    written = 0
    for label, folder in folders:
        for name in sorted(os.listdir(folder)):
            if not name.lower().endswith(".png"):
                continue
            with open(os.path.join(folder, name), "rb") as f:
                rows = idat_payload(f.read())
            if not rows:
                continue
            with open(os.path.join(out, "%s-%s.raw" % (label, name[:-4])), "wb") as f:
                f.write(rows)
            written += 1
    print("%d files dumped into %s" % (written, out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
