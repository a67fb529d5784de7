#!/usr/bin/python3
"""Packs PNG images into one Windows icon file (each kept as PNG, as Windows reads since Vista).
   make-ico.py OUT.ico IN.png..."""
import struct, sys

out, pngs = sys.argv[1], sys.argv[2:]
images = [open(p, "rb").read() for p in pngs]
offset = 6 + 16 * len(images)
head = struct.pack("<HHH", 0, 1, len(images))
entries, data = b"", b""
for png in images:
    width, height = struct.unpack(">II", png[16:24])  # the IHDR chunk
    entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png),
                           offset + len(data))
    data += png
open(out, "wb").write(head + entries + data)
