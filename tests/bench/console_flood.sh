#!/bin/bash
# Event flood into the console under Wine: callshop-sim sends EVENTS call events over BOOTHS
# booths as fast as the console reads them. Prints the events per second applied, the time
# from the last event sent to the last row shown, and checks every booth's rows against what
# the simulator says they must be (none lost). Figures only; nothing here is a timed test.
#   tests/bench/console_flood.sh [EVENTS] [BOOTHS] [--short-messages]
# Uses build/windows (configured with -DTELLARIX_BENCH=ON for tlx-floodwatch.exe) and
# build/native unless TLX_* variables name other files.
set -u
EVENTS=${1:-20000}
BOOTHS=${2:-100}
EXTRA=${3:-}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
: "${TLX_CONSOLE_EXE:=$ROOT/build/windows/console/Tellarix.exe}"
: "${TLX_BOOTH_DLL:=$ROOT/build/windows/boothctl/Tellarix.dll}"
: "${TLX_UIDRIVER_EXE:=$ROOT/build/windows/tests/e2e/driver/tlx-uidriver.exe}"
: "${TLX_SIM_EXE:=$ROOT/build/native/sim/callshop-sim}"
: "${TLX_FLOODWATCH_EXE:=$ROOT/build/windows/tests/bench/console_ui/tlx-floodwatch.exe}"
export TLX_CONSOLE_EXE TLX_BOOTH_DLL TLX_UIDRIVER_EXE TLX_SIM_EXE
export TLX_SUITE_LIMIT=${TLX_SUITE_LIMIT:-900}
source "$ROOT/tests/e2e/console/lib.sh"
export TLX_ARTIFACTS=${TLX_ARTIFACTS:-$ROOT/build/artifacts/console-bench}
e2e_setup

# One booth list holds 254 characters: one- and two-character keys let 100 booths fit.
KEYS=$(python3 -c '
import string, sys
n = int(sys.argv[1])
one = list(string.digits + string.ascii_letters)
two = [a + b for a in string.ascii_lowercase for b in string.ascii_lowercase]
print(",".join((one + two)[:n]))' "$BOOTHS")
# The booth of the flood's last event, its final row count and picture, as callshop-sim's flood
# plan makes them (call n goes to booth n mod BOOTHS; dial, connect, finish); checked against
# the simulator's own summary afterwards.
read -r LAST_BOOTH LAST_ROWS LAST_IMAGE < <(python3 -c '
import sys
keys, events = sys.argv[1].split(","), int(sys.argv[2])
last = events - 1
call = last // 3
booth = call % len(keys)
rows = sum(1 for c in range((events + 2) // 3) if c % len(keys) == booth)
print(keys[booth], rows, (1, 2, 3)[last % 3])' "$KEYS" "$EVENTS")
start_sim --user demo --password demo --booths "$KEYS" --web-address http://w/ \
    --flood "$EVENTS" --flood-booths "$BOOTHS" --settle-ms 6000 $EXTRA
write_ini '[NETWORK]' 'SERVER_IP=127.0.0.1' "SERVER_PORT=$SIM_PORT" 'USERNAME=demo' 'PASSWORD=demo'
start_console
wait_status "Please enter your Login and Password..." 60
press_login
wait_main_window 120
# Watches that booth from inside the session every 5 ms, from before the flood starts.
tlx_wine_bg "$TLX_FLOODWATCH_EXE" "$LAST_BOOTH" "$LAST_ROWS" "$LAST_IMAGE" 600
WATCH_PID=$TLX_LAST_PID
WATCH_LOG=$TLX_LAST_LOG

# One driver run reads every booth: its name, then its rows.
HOSTS=$(ui find --title Tellarix --child-class TellarixControlHost | cut -f1)
ARGS=()
for h in $HOSTS; do
    [ ${#ARGS[@]} -gt 0 ] && ARGS+=("::")
    ARGS+=(text --hwnd "$h" :: list --hwnd "$h" --child-class SysListView32)
done
read_all() { ui "${ARGS[@]}" >"$WORK/rows.txt"; }

# The flood's summary (what every booth must show) arrives in the simulator's log.
for i in $(seq 600); do grep -q '"event":"flood_done"' "$SIM_LOG" && break; sleep 0.5; done
grep -q '"event":"flood_done"' "$SIM_LOG" || fail "the flood did not finish"

CHECK=$ROOT/tests/bench/console_flood_check.py
[ "$(python3 "$CHECK" "$SIM_LOG" - last-booth-final)" == "$LAST_BOOTH $LAST_ROWS $LAST_IMAGE" ] ||
    fail "the flood's last booth is not the one watched"
# Events are applied in the order sent: the moment the booth of the last event shows its final
# rows, every event has been applied. Then every booth is read and checked.
wait "$WATCH_PID"
read -r t_seen polls < <(tr -d '\r' <"$WATCH_LOG")
[[ "$t_seen" =~ ^[0-9.]+$ ]] || fail "the last booth never showed its final rows ($t_seen)"
# The booths in view repaint once the queue has run dry; the picture is taken after that.
sleep 1
tlx_screenshot flood-done
read_all
python3 "$CHECK" "$SIM_LOG" "$WORK/rows.txt" report "$t_seen" "$polls"
