#!/bin/bash
# Start-up of the console under Wine. Figures only.
#   tests/bench/console_startup.sh [BOOTHS...]        (default: 10 102)
# 1. Login -> first booth page on the screen, against callshop-sim, for each size given. One
#    booth list carries at most 254 characters, so one login can announce at most 102 booths
#    (one- and two-character keys, with the web address http://w/).
# 2. The page build alone for 10 and 200 booths (tlx-consolebench.exe: the main window's Start
#    for a made-up booth list, no server, until the first page has painted), because 200 booths
#    cannot arrive through one login.
# Needs the windows tree configured with -DTELLARIX_BENCH=ON (TLX_CONSOLEBENCH_EXE).
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
: "${TLX_CONSOLE_EXE:=$ROOT/build/windows/console/Tellarix.exe}"
: "${TLX_BOOTH_DLL:=$ROOT/build/windows/boothctl/Tellarix.dll}"
: "${TLX_UIDRIVER_EXE:=$ROOT/build/windows/tests/e2e/driver/tlx-uidriver.exe}"
: "${TLX_SIM_EXE:=$ROOT/build/native/sim/callshop-sim}"
: "${TLX_CONSOLEBENCH_EXE:=$ROOT/build/windows/tests/bench/console_ui/tlx-consolebench.exe}"
export TLX_CONSOLE_EXE TLX_BOOTH_DLL TLX_UIDRIVER_EXE TLX_SIM_EXE
export TLX_SUITE_LIMIT=${TLX_SUITE_LIMIT:-900}
source "$ROOT/tests/e2e/console/lib.sh"
export TLX_ARTIFACTS=${TLX_ARTIFACTS:-$ROOT/build/artifacts/console-bench}
e2e_setup
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(10 102)

keys() {
    python3 -c '
import string, sys
n = int(sys.argv[1])
one = list(string.digits + string.ascii_letters)
two = [a + b for a in string.ascii_lowercase for b in string.ascii_lowercase]
print(",".join((one + two)[:n]))' "$1"
}
now() { date +%s.%N; }

declare -A SECONDS_FOR
for n in "${SIZES[@]}"; do
    SIM_NAME=sim$n start_sim --user demo --password demo --booths "$(keys "$n")" \
        --web-address http://w/
    write_ini '[NETWORK]' 'SERVER_IP=127.0.0.1' "SERVER_PORT=$SIM_PORT" 'USERNAME=demo' \
        'PASSWORD=demo'
    start_console
    wait_status "Please enter your Login and Password..." 60 2>/dev/null
    # What one driver run costs by itself, to take it off the figure.
    t0=$(now); ui info --title Tellarix >/dev/null; t1=$(now)
    base=$(python3 -c "print($t1 - $t0)")
    t0=$(now)
    ui click --title Tellarix --id 1002 :: wait-window --title Tellarix \
        --child-class TellarixControlHost --timeout 120 >/dev/null || fail "no booth page for $n booths"
    t1=$(now)
    SECONDS_FOR[$n]=$(python3 -c "print(max($t1 - $t0 - $base, 0))")
    tlx_screenshot "startup-$n"
    ui close --title Tellarix >/dev/null
    ui wait-gone --exe Tellarix.exe --timeout 60 >/dev/null
    stop_sim
    printf 'login -> first booth page, %4d booths: %6.2f s (driver start-up %.2f s taken off)\n' \
        "$n" "${SECONDS_FOR[$n]}" "$base"
done
first=${SIZES[0]}
last=${SIZES[${#SIZES[@]} - 1]}
python3 -c "import sys; a, b = float(sys.argv[2]), float(sys.argv[4])
print(f'ratio login {sys.argv[3]}/{sys.argv[1]} booths: {b / a if a > 0 else float(\"inf\"):.2f}')" \
    "$first" "${SECONDS_FOR[$first]}" "$last" "${SECONDS_FOR[$last]}"

# The page build alone, in the same Wine session (the console has ended).
[ -f "$TLX_CONSOLEBENCH_EXE" ] || fail "no $TLX_CONSOLEBENCH_EXE (configure with -DTELLARIX_BENCH=ON)"
declare -A BUILD_FOR
for n in 10 200; do
    line=$(tlx_wine -t 300 "$TLX_CONSOLEBENCH_EXE" 'C:\shop\Tellarix.dll' "$n" | grep '^page build')
    [ -n "$line" ] || fail "page build of $n booths did not run"
    echo "$line"
    BUILD_FOR[$n]=$(sed -n 's/.*first page painted \([0-9.]*\) s.*/\1/p' <<<"$line")
done
python3 -c "import sys; a, b = float(sys.argv[1]), float(sys.argv[2])
print(f'ratio page build 200/10 booths: {b / a if a > 0 else float(\"inf\"):.2f}; '
      f'200 booths {\"under\" if b < 2 else \"OVER\"} 2 s')" "${BUILD_FOR[10]}" "${BUILD_FOR[200]}"
