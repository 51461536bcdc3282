#!/usr/bin/env bash
# Proves the harness printer: register it, print a line, read the line back from the
# PostScript file with ghostscript.
set -u
addprinter=$1 printtest=$2
. "$(dirname "$0")/lib.sh"
out=$(mktemp -d)
tlx_wine_up || exit 1
TLX_ADDPRINTER_EXE=$addprinter tlx_add_printer "$out/job.ps" || exit 1
timeout 120 wine "$printtest" "Tellarix harness print check" || { echo "print failed"; exit 1; }
timeout 30 wineserver -w
text=$(gs -q -dNOPAUSE -dBATCH -sDEVICE=txtwrite -sOutputFile=- "$out/job.ps" 2>/dev/null |
       sed 's/\xc2\xa0/ /g; s/\xc2\xad/-/g')
tlx_wine_down
rm -rf "$out"
if grep -q "Tellarix harness print check" <<<"$text"; then
    echo "printed text read back"
    exit 0
fi
echo "printed text not found; got: $text"
exit 1
