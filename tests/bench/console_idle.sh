#!/bin/bash
# The console idle under Wine while 100 booths talk: every booth's call is answered and stays
# up, so each booth control counts its call's duration every second. Once the console has
# nothing else to do, measures SECONDS (default 30) of processor time of the console, of
# wineserver and of this session's X server (utime + stime from /proc), and the console's
# resident memory with where it lies. Figures only; nothing here is a timed test.
#   tests/bench/console_idle.sh [SECONDS] [BOOTHS]
set -u
SPAN=${1:-30}
BOOTHS=${2:-100}
source "$(dirname "$0")/lib.sh"

KEYS=$(booth_keys "$BOOTHS")
start_sim --user demo --password demo --booths "$KEYS" --web-address http://w/ --settle-ms 0
console_at 127.0.0.1 "$SIM_PORT"
press_login
wait_main_window 120
ui idle --title Tellarix --child-class SysTabControl32 --timeout 120 >/dev/null ||
    fail "the first page kept painting"

# Every booth dials and is answered; the simulator sends nothing else, so the calls stay up.
IFS=, read -r -a KEY_LIST <<<"$KEYS"
for k in "${KEY_LIST[@]}"; do printf 'dial %s;0049301234;Germany;0.25\nconnect %s\n' "$k" "$k"; done \
    >"$SIM_CTL"
wait_match "$((2 * BOOTHS))" "every booth talking" 60 \
    grep -cE '"dir":"out","type":10[12][,}]' "$SIM_LOG"
# The last booth shows its call answered once the console has read every event.
LAST_BOOTH=${KEY_LIST[-1]}
duration_of() { booth_rows "$1" | awk -F'\t' 'NR == 1 {print $3}'; }
wait_match "*:*" "the last booth counting" 120 duration_of "$LAST_BOOTH"
ui idle --title Tellarix --child-class SysTabControl32 --timeout 120 >/dev/null ||
    fail "the console kept painting"

# The session's processes: console (its Wine process), wineserver, and the X server.
pid_of() { for p in $(_tlx_prefix_pids "$WINEPREFIX"); do
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qE "$1" && { echo "$p"; return; }; done; }
CONSOLE=$(pid_of 'Tellarix\.exe')
SERVER=$(pid_of '^[^ ]*wineserver')
[ -n "$CONSOLE" ] && [ -n "$SERVER" ] || fail "no console or wineserver"
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
now() { echo "$(date +%s.%N) $(ticks "$CONSOLE") $(ticks "$SERVER") $(ticks "$TLX_XVFB_PID")"; }
read -r t0 c0 s0 x0 < <(now)
sleep "$SPAN"  # the measured span: the console is left alone, nothing is waited for
read -r t1 c1 s1 x1 < <(now)
RSS=$(awk '/^VmRSS/ {print $2}' "/proc/$CONSOLE/status")
MEMORY=$(awk '/^[0-9a-f]+-/ { k = $6 ~ /Tellarix/ ? 1 : $6 ~ /\.(dll|drv)$/ ? 2 : $6 ~ /\.so/ ? 3 : $6 ~ /SYSV/ ? 4 : 5 }
    /^Rss:/ { kb[k] += $2 } END { printf "program %.1f, DLLs %.1f, Unix libraries %.1f, window surface " \
    "%.1f, heaps, stacks and data files %.1f", kb[1] / 1024, kb[2] / 1024, kb[3] / 1024, kb[4] / 1024, kb[5] / 1024 }' "/proc/$CONSOLE/smaps")
tlx_screenshot idle-talking

awk -v hz="$(getconf CLK_TCK)" -v t0="$t0" -v t1="$t1" -v n="$BOOTHS" -v s="$SPAN" \
    -v c=$((c1 - c0)) -v w=$((s1 - s0)) -v x=$((x1 - x0)) -v rss="$RSS" -v memory="$MEMORY" 'BEGIN {
    f = 100 / hz / (t1 - t0)
    printf "idle, %d talking booths, %d s: console %.1f %% of a core, wineserver %.1f %%, X server %.1f %%, together %.1f %%\n",
        n, s, c * f, w * f, x * f, (c + w + x) * f
    printf "idle, %d talking booths: console resident %.1f MB (%s)\n", n, rss / 1024, memory
    print "goal: <= 3 % of a core together, <= 36 MB resident"
}'
