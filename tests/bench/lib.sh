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


source "$ROOT/tests/bench/stall.sh"
# The probe on the console's windows (login and main window share their thread).
probe_start() { stall_probe_start Tellarix; }
# The performance counter now, as the probe reads it.
counter_now() { ui now | awk '/^clock/ {print $3}'; }
# As stall_of, once the probe has answered one sent after T1 (a wait still going on counts in
# full), or at once with `gone`: the window's program has ended, nothing is left to wait for.
stall_line() {  # phase t0 t1 [gone]
    [ "${4:-}" = gone ] || wait_match 1 "the probe after $1" 120 awk -v t="$3" \
        '$1 == "probe" && $2 > t { n = 1 } END { print n + 0 }' "$PROBE_LOG"
    stall_of "$@"
}
