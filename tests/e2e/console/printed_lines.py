#!/usr/bin/env python3
# The lines of a printed PostScript job, top to bottom, as the console drew them (ghostscript's
# character boxes grouped by baseline; its plain text would join lines that sit close).
import re, subprocess, sys
xml = subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=txtwrite", "-dTextFormat=0",
                      "-sOutputFile=-", sys.argv[1]], capture_output=True, text=True).stdout
lines = {}
for x0, y, x1, c in re.findall(r'<char bbox="(\d+) (\d+) (\d+) \d+" c="([^"]*)"', xml):
    lines.setdefault(int(y), []).append((int(x0), int(x1), c))
for y in sorted(lines):
    out, last = "", None
    for x0, x1, c in sorted(lines[y]):
        if last is not None and x0 - last > 1: out += " "
        out += {"&quot;": '"', "&amp;": "&", "&lt;": "<", "&gt;": ">", "&apos;": "'"}.get(c, c)
        last = x1
    print(out)
