#!/usr/bin/env bash
# Runs one Windows test program in a private Wine session; used as the windows tree's
# cross-compiling emulator, so ctest runs Windows tests through it.
#   TLX_TIMEOUT       seconds before the program is killed (default 300)
#   TLX_ARTIFACTS     folder for screenshots; given to the program as TLX_ARTIFACTS_WIN
#   TLX_PRINTER_FILE  register a PostScript printer printing into this file first
#   TLX_SCREENSHOT_AT_EXIT  name of a whole-screen screenshot taken when the program ends
set -u
. "$(dirname "$0")/lib.sh"
[ $# -ge 1 ] || { echo "usage: $0 program.exe [args...]" >&2; exit 2; }
tlx_wine_up || { echo "wine session could not start" >&2; exit 1; }
if [ -n "${TLX_ARTIFACTS:-}" ]; then
    mkdir -p "$TLX_ARTIFACTS"
    export TLX_ARTIFACTS_WIN=$(tlx_winpath "$TLX_ARTIFACTS")
    export WINEPATH="${WINEPATH:-}"
fi
if [ -n "${TLX_PRINTER_FILE:-}" ]; then
    tlx_add_printer "$TLX_PRINTER_FILE" || exit 1
fi
timeout --kill-after=10 "${TLX_TIMEOUT:-300}" wine "$@"
rc=$?
[ $rc -eq 124 ] && tlx_log "time limit of ${TLX_TIMEOUT:-300} s reached: $1"
[ -n "${TLX_SCREENSHOT_AT_EXIT:-}" ] && tlx_screenshot "$TLX_SCREENSHOT_AT_EXIT"
tlx_wine_down
exit $rc
