#!/usr/bin/env bash
# Runs one Windows test program in a private Wine session; used as the windows tree's
# cross-compiling emulator, so ctest runs Windows tests through it.
#   run-test.sh program.exe [args...]
#   run-test.sh --each a.exe b.exe ...   several programs, no arguments, one after the other
#                                        in one session; fails when any of them fails
#   TLX_TIMEOUT       seconds before the program is killed (default 240)
#   TLX_ARTIFACTS     folder for screenshots; given to the program as TLX_ARTIFACTS_WIN
#   TLX_PRINTER_FILE  register a PostScript printer printing into this file first
#   TLX_SCREENSHOT_AT_EXIT  name of a whole-screen screenshot taken when the program ends
# The test fails when a Wine process of its prefix outlives it.
set -u
. "$(dirname "$0")/lib.sh"
[ $# -ge 1 ] || { echo "usage: $0 program.exe [args...]" >&2; exit 2; }
tlx_wine_up || { echo "wine session could not start" >&2; exit 1; }
if [ -n "${TLX_ARTIFACTS:-}" ]; then
    mkdir -p "$TLX_ARTIFACTS"
    export TLX_ARTIFACTS_WIN=$(tlx_winpath "$TLX_ARTIFACTS")
fi
if [ -n "${TLX_PRINTER_FILE:-}" ]; then
    tlx_add_printer "$TLX_PRINTER_FILE" || exit 1
fi
if [ "$1" = --each ]; then
    rc=0
    for prog in "${@:2}"; do
        tlx_wine -t "${TLX_TIMEOUT:-240}" "$prog"
        r=$?
        echo "=== $(basename "$prog"): $([ $r -eq 0 ] && echo passed || echo "FAILED (status $r)")"
        [ $r -eq 0 ] || rc=1
    done
else
    tlx_wine -t "${TLX_TIMEOUT:-240}" "$@"
    rc=$?
fi
[ -n "${TLX_SCREENSHOT_AT_EXIT:-}" ] && tlx_screenshot "$TLX_SCREENSHOT_AT_EXIT"
tlx_wine_down || rc=1
exit $rc
