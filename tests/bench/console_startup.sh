#!/bin/bash
# Start-up of the console under Wine: the time from pressing "Log In" to the first booth page
# on the screen, for shops of different sizes, and how it grows. Figures only.
#   tests/bench/console_startup.sh [BOOTHS...]        (default: 10 100)
# One booth list carries at most 254 characters, so a login can announce about 110 booths
# (one- and two-character keys); larger shops are extrapolated from the measured cost per
# booth and marked as such.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
: "${TLX_CONSOLE_EXE:=$ROOT/build/windows/console/Tellarix.exe}"
: "${TLX_BOOTH_DLL:=$ROOT/build/windows/boothctl/Tellarix.dll}"
: "${TLX_UIDRIVER_EXE:=$ROOT/build/windows/tests/e2e/driver/tlx-uidriver.exe}"
: "${TLX_SIM_EXE:=$ROOT/build/native/sim/callshop-sim}"
export TLX_CONSOLE_EXE TLX_BOOTH_DLL TLX_UIDRIVER_EXE TLX_SIM_EXE
source "$ROOT/tests/e2e/console/lib.sh"
export TLX_ARTIFACTS=${TLX_ARTIFACTS:-$ROOT/build/artifacts/console-bench}
e2e_setup
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(10 100)

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
python3 - "$first" "${SECONDS_FOR[$first]}" "$last" "${SECONDS_FOR[$last]}" <<'PY'
import sys
n1, t1, n2, t2 = int(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
print(f"ratio {n2}/{n1} booths: {t2 / t1 if t1 > 0 else float('inf'):.2f}")
if n2 > n1:
    per = (t2 - t1) / (n2 - n1)
    print(f"cost per booth: {per * 1000:.1f} ms; 200 booths (extrapolated, the protocol "
          f"cannot announce them in one login): {t1 + per * (200 - n1):.2f} s")
PY
