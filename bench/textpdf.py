#!/usr/bin/env python3
"""Writes PAGES Letter pages of 44 lines in the standard Helvetica, each in a ruled box, to OUT.
Usage: bench/textpdf.py PAGES OUT"""
import sys

pages, path = int(sys.argv[1]), sys.argv[2]
lines = [f"Line {n}: the quick brown fox jumps over the lazy dog, again and again." for n in range(44)]
objects = [b"<< /Type /Catalog /Pages 2 0 R >>", None, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
kids = []
for page in range(pages):
    text = "".join(f"BT /F1 11 Tf 72 {715 - 15 * i} Td ({page + 1}.{l}) Tj ET\n" for i, l in enumerate(lines))
    stream = (f"0.2 0.4 0.8 RG 2 w 50 50 512 692 re S\n" + text).encode()
    objects.append(f"<< /Length {len(stream)} >>\nstream\n".encode() + stream + b"\nendstream")
    objects.append(f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents {len(objects)} 0 R "
                   f"/Resources << /Font << /F1 3 0 R >> >> >>".encode())
    kids.append(f"{len(objects)} 0 R")
objects[1] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {pages} >>".encode()
out, offsets = bytearray(b"%PDF-1.4\n"), []
for i, o in enumerate(objects):
    offsets.append(len(out))
    out += f"{i + 1} 0 obj\n".encode() + o + b"\nendobj\n"
xref = len(out)
out += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
out += b"".join(f"{o:010d} 00000 n \n".encode() for o in offsets)
out += f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
open(path, "wb").write(out)
