#!/bin/bash
# Event flood into the console under Wine: callshop-sim sends EVENTS call events over BOOTHS
# booths as fast as the console reads them. Prints the events per second applied, the time
# from the last event sent to the last row shown, and checks every booth's rows against what
# the simulator says they must be (none lost). Figures only; nothing here is a timed test.
#   tests/bench/console_flood.sh [EVENTS] [BOOTHS] [--short-messages]
set -u
EVENTS=${1:-20000}
BOOTHS=${2:-100}
source "$(dirname "$0")/lib.sh"
CHECK=$ROOT/tests/bench/console_flood_check.py

KEYS=$(booth_keys "$BOOTHS")
start_sim --user demo --password demo --booths "$KEYS" --web-address http://w/ \
    --flood "$EVENTS" --flood-booths "$BOOTHS" --settle-ms 6000 ${3:-}
console_at 127.0.0.1 "$SIM_PORT"
probe_start
press_login
wait_main_window 120
FLOOD_FROM=$(counter_now)
# Events are applied in the order sent: the moment the booth of the last event shows its last
# row with that event's picture, every event has been applied. That row is watched from inside
# the session every 5 ms, from before the flood starts.
read -r LAST_BOOTH LAST_ROW LAST_IMAGE < <(python3 "$CHECK" plan "$KEYS" "$EVENTS")
tlx_wine_bg "$TLX_UIDRIVER_EXE" wait-row --hwnd "$(booth_hwnd "$LAST_BOOTH")" \
    --child-class SysListView32 "$LAST_ROW" --image "$LAST_IMAGE" --timeout 600 :: now
WATCH_PID=$TLX_LAST_PID
WATCH_LOG=$TLX_LAST_LOG

# The flood's summary (what every booth must show) arrives in the simulator's log.
wait_match 1 "the flood finished" 600 grep -c '"event":"flood_done"' "$SIM_LOG"
wait "$WATCH_PID"
read -r _ t_seen _ < <(tr -d '\r' <"$WATCH_LOG" | grep '^clock')
[ -n "${t_seen:-}" ] || fail "the last booth never showed its last call: $(cat "$WATCH_LOG")"
stall_line flood "$FLOOD_FROM" "$(counter_now)"
# The booths in view repaint once the queue has run dry; the picture is taken after that.
ui idle --title Tellarix --child-class SysTabControl32 --timeout 60 || fail "the page kept painting"
tlx_screenshot flood-done

# One driver run reads every booth: its name, then its rows.
ARGS=()
# Booth controls are the hosts with control id 0 (the web page's browser has its own).
for h in $(ui find --title Tellarix --child-class TellarixControlHost | awk -F'\t' '$2 == 0 {print $1}'); do
    ARGS+=(text --hwnd "$h" :: list --hwnd "$h" --child-class SysListView32 ::)
done
tlx_wine -t 600 "$TLX_UIDRIVER_EXE" "${ARGS[@]:0:${#ARGS[@]}-1}" >"$WORK/rows.txt" ||
    fail "the booths could not be read: $(grep -v "^[0-9]" "$WORK/rows.txt" | tail -3)"
python3 "$CHECK" report "$SIM_LOG" "$WORK/rows.txt" "$t_seen" "$LAST_BOOTH $LAST_ROW $LAST_IMAGE"
