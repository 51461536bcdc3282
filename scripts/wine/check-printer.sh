#!/usr/bin/env bash
# Proves the harness printer: register it, print a line, read the line back from the
# PostScript file with ghostscript.
set -u
addprinter=$1 printtest=$2
. "$(dirname "$0")/lib.sh"
tlx_wine_up || exit 1
out=$TLX_SESSION_DIR/job.ps
TLX_ADDPRINTER_EXE=$addprinter tlx_add_printer "$out" || exit 1
tlx_wine "$printtest" "Tellarix harness print check" || { echo "print failed"; exit 1; }
# The job is written by the print spooler once the program has ended.
for _ in $(seq 100); do [ -s "$out" ] && grep -q '%%EOF' "$out" && break; sleep 0.1; done
text=$(gs -q -dNOPAUSE -dBATCH -sDEVICE=txtwrite -sOutputFile=- "$out" 2>/dev/null |
       sed 's/\xc2\xa0/ /g; s/\xc2\xad/-/g')
tlx_wine_down || exit 1
if grep -q "Tellarix harness print check" <<<"$text"; then
    echo "printed text read back"
    exit 0
fi
echo "printed text not found; got: $text"
exit 1
