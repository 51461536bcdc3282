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

