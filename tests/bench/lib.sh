# Shared steps of the console benchmarks: an end-to-end session (tests/e2e/console/lib.sh) with
# the programs of build/windows and build/native unless TLX_* variables name others.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
: "${TLX_CONSOLE_EXE:=$ROOT/build/windows/console/Tellarix.exe}"
: "${TLX_BOOTH_DLL:=$ROOT/build/windows/boothctl/Tellarix.dll}"
: "${TLX_UIDRIVER_EXE:=$ROOT/build/windows/tests/e2e/driver/tlx-uidriver.exe}"
: "${TLX_SIM_EXE:=$ROOT/build/native/sim/callshop-sim}"
: "${TLX_BILLSDB_EXE:=$ROOT/build/native/tools/billsdb/billsdb}"
export TLX_CONSOLE_EXE TLX_BOOTH_DLL TLX_UIDRIVER_EXE TLX_SIM_EXE TLX_BILLSDB_EXE
export TLX_SUITE_LIMIT=${TLX_SUITE_LIMIT:-900}
export TLX_ARTIFACTS=${TLX_ARTIFACTS:-$ROOT/build/artifacts/console-bench}
source "$ROOT/tests/e2e/console/lib.sh"
e2e_setup

# The first N keys of 0-9, a-z, A-Z, aa, ab, ..., zz: up to 102 of them fit the 254 characters
# of one booth list (with the web address http://w/).
booth_keys() {
    local keys=({0..9} {a..z} {A..Z} {a..z}{a..z}) IFS=,
    echo "${keys[*]:0:$1}"
}


# The stall probe (tlx-stallprobe.exe) on the window titled $1 (Tellarix unless given), in the
# background; what it measures lands in PROBE_LOG.
: "${TLX_STALLPROBE_EXE:=$ROOT/build/windows/tests/bench/console_ui/tlx-stallprobe.exe}"
probe_start() {
    tlx_wine_bg "$TLX_STALLPROBE_EXE" "${1:-Tellarix}"
    PROBE_LOG=$TLX_LAST_LOG
}
# The performance counter now, as the probe reads it.
counter_now() { ui now | awk '/^clock/ {print $3}'; }
# `longest stall, PHASE: N ms`: the longest wait of a probe overlapping counter times T0..T1,
# once the probe has answered one sent after T1 (a wait still going on counts in full).
stall_line() {  # phase t0 t1
    wait_match 1 "the probe after $1" 120 awk -v t="$3" \
        '$1 == "probe" && $2 > t { n = 1 } END { print n + 0 }' "$PROBE_LOG"
    tr -d '\r' <"$PROBE_LOG" | awk -v p="$1" -v a="$2" -v b="$3" '$1 == "probe" &&
        $2 + $3 / 1000 >= a + 0 && $2 <= b + 0 && $3 + 0 > m { m = $3 + 0 }
        END { printf "longest stall, %s: %d ms\n", p, m }'
}
