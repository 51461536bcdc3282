# Shared steps of the console's end-to-end runs: a private Wine session with the console
# installed and its booth control registered, callshop-sim on a free port, the UI driver.
# Needs: TLX_CONSOLE_EXE, TLX_BOOTH_DLL, TLX_UIDRIVER_EXE (Windows build), TLX_SIM_EXE and
# TLX_BILLSDB_EXE (native).

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
# shellcheck source=../../../scripts/wine/lib.sh
source "$E2E_ROOT/scripts/wine/lib.sh"

e2e_log() { echo "[e2e] $*" >&2; }
fail() {
    echo "FAIL: $*" >&2
    [ -n "${TLX_ARTIFACTS:-}" ] && tlx_screenshot "failure-$(date +%H%M%S)"
    exit 1
}
expect_eq() {  # expected actual what
    [ "$1" == "$2" ] || fail "$3: expected [$1], got [$2]"
    e2e_log "ok: $3"
}

for v in TLX_CONSOLE_EXE TLX_BOOTH_DLL TLX_UIDRIVER_EXE TLX_SIM_EXE TLX_BILLSDB_EXE; do
    [ -f "${!v:-}" ] || { echo "SKIP/FAIL: $v not found (${!v:-unset})" >&2; exit 1; }
done

# Brings up Wine, installs console and booth control into C:\shop with an empty bills store
# beside them (the console's working folder), registers the control; screenshots go to
# TLX_ARTIFACTS (default build/artifacts/console-e2e).
e2e_setup() {
    export TLX_ARTIFACTS=${TLX_ARTIFACTS:-$E2E_ROOT/build/artifacts/console-e2e}
    mkdir -p "$TLX_ARTIFACTS"
    tlx_wine_up || fail "Wine session did not start"
    WORK=$TLX_SESSION_DIR/work
    mkdir -p "$WORK"
    SHOP=$WINEPREFIX/drive_c/shop
    mkdir -p "$SHOP"
    cp "$TLX_CONSOLE_EXE" "$SHOP/Tellarix.exe"
    cp "$TLX_BOOTH_DLL" "$SHOP/Tellarix.dll"
    "$TLX_BILLSDB_EXE" create "$SHOP/bills.mdb" >/dev/null || fail "no bills store"
    tlx_wine -t 60 regsvr32 /s 'C:\shop\Tellarix.dll' || fail "booth control did not register"
      ui_serve
    SIM_PIDS=()
    trap 'e2e_teardown || exit 1' EXIT
}

e2e_teardown() {
    local pid
    for pid in "${SIM_PIDS[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    SIM_PIDS=()
    [ -n "$UI_SERVING" ] && exec 6>&- 7<&-
    UI_SERVING=
    tlx_wine_down
}

# Settings file beside the program; sections given as "[SECTION]" and "key=value" lines.
write_ini() {
    printf '%s\r\n' "$@" >"$SHOP/Tellarix.ini"
}

# Starts callshop-sim on a free port with a control FIFO and a JSON-lines log; sets SIM_PORT,
# SIM_CTL, SIM_LOG. Extra arguments go to the simulator.
start_sim() {
    local name=${SIM_NAME:-sim}
    SIM_CTL=$WORK/$name.ctl
    SIM_LOG=$WORK/$name.log
    local out=$WORK/$name.out
    : >"$out"
    "$TLX_SIM_EXE" --listen "${SIM_LISTEN:-127.0.0.1:0}" --no-http --control-fifo "$SIM_CTL" --log "$SIM_LOG" \
        "$@" >"$out" 2>&1 &
    SIM_PID=$!
    SIM_PIDS+=("$SIM_PID")
    local i
    for i in $(seq 100); do
        SIM_PORT=$(sed -n 's/.*consoles on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$out" | head -1)
        [ -n "$SIM_PORT" ] && [ -p "$SIM_CTL" ] && return 0
        sleep 0.1
    done
    cat "$out" >&2
    fail "callshop-sim did not start"
}

stop_sim() {
    kill "$SIM_PID" 2>/dev/null
    wait "$SIM_PID" 2>/dev/null
}

ctl() { echo "$*" >"$SIM_CTL"; }

start_console() {
    tlx_wine_bg -C "$SHOP" 'C:\shop\Tellarix.exe'
    CONSOLE_PID=$TLX_LAST_PID
}

# The UI driver: one process for the session's requests once ui_serve has started it (fds 6
# and 7 are its request and answer pipes; Wine programs are started with them closed), a
# process per request before.
UI_SERVING=
ui_serve() {
    local req=$TLX_SESSION_DIR/ui.req answers=$TLX_SESSION_DIR/ui.answers
    mkfifo "$req" "$answers" || fail "no pipes for the UI driver"
    (exec wine "$TLX_UIDRIVER_EXE" serve <"$req" >"$answers" 2>"$TLX_SESSION_DIR/ui.err" \
        6>&- 7>&- 8>&- 9>&-) &
    TLX_BG_PIDS+=("$!")
    exec 6>"$req" 7<"$answers"
    UI_SERVING=1
}
ui() {
    if [ -z "$UI_SERVING" ]; then
        tlx_wine "$TLX_UIDRIVER_EXE" "$@"
        return
    fi
    local w words=() line out= n=0
    for w in "$@"; do
        w=${w//\\/\\\\}
        w=${w//$'\t'/\\t}
        w=${w//$'\n'/\\n}
        words+=("${w//$'\r'/\\r}")
    done
    (IFS=$'\t' && printf '%s\n' "${words[*]}") >&6 || fail "the UI driver is gone"
    # What the run printed, then its own line end, then "\x04" and the status.
    while IFS= read -r -t 400 -u 7 line; do
        if [[ $line == $'\x04'* ]]; then
            printf '%s' "$out"
            return "${line#?}"
        fi
        [ $((n++)) -eq 0 ] && out=$line || out+=$'\n'$line
    done
    fail "the UI driver did not answer [$*]: $(cat "$TLX_SESSION_DIR/ui.err" 2>/dev/null)"
}

# Polls until what `command...` prints matches the shell pattern (a plain text matches itself),
# for up to `timeout` seconds; fails with the last output otherwise.
wait_match() {  # pattern what timeout command...
    local pattern=$1 what=$2 deadline=$((SECONDS + $3)) got
    shift 3
    while :; do
        got=$("$@" 2>/dev/null)
        # shellcheck disable=SC2053
        [[ "$got" == $pattern ]] && { e2e_log "ok: $what"; return 0; }
        [ $SECONDS -lt $deadline ] || fail "$what: expected [$pattern], got [$got]"
        sleep 0.2
    done
}

# The login window is the visible "Tellarix" window holding the status line 1006.
wait_status() {  # text [timeout]
    ui text --title Tellarix --id 1006 --equals "$1" --timeout "${2:-30}" >/dev/null ||
        fail "status line: expected [$1], got [$(ui text --title Tellarix --id 1006)]"
    e2e_log "ok: status [$1]"
}
press_login() {
    local why
    why=$(ui click --title Tellarix --id 1002) || fail "Log In not clicked: $why"
}

# Waits for the booth page: the main window's tab control is there.
wait_main_window() {
    ui find --title Tellarix --child-class SysTabControl32 --timeout "${1:-30}" >/dev/null ||
        fail "main window did not appear"
}

# The console set up for a server (user demo, password $PASSWORD or demo; more settings lines
# may follow), started, at its login window.
console_at() {  # server-ip server-port [settings lines...]
    write_ini '[NETWORK]' "SERVER_IP=$1" "SERVER_PORT=$2" 'USERNAME=demo' \
        "PASSWORD=${PASSWORD:-demo}" "${@:3}"
    start_console
    wait_status "Please enter your Login and Password..." 60
}
console_ends() {  # what ended it
    ui wait-gone --exe Tellarix.exe --timeout 30 >/dev/null || fail "$1 did not end the console"
    e2e_log "ok: $1 ended the console"
}

# The booth windows carry their display names; the first match is the booth's own window.
booth_hwnd() {  # display name
    ui find --title Tellarix --child-text "$1" | awk -F'\t' 'NR==1 {print $1}'
}
booth_rows() {  # display name -> rows: image, destination, duration, cost, ..., description, rate
    local h
    h=$(booth_hwnd "$1")
    [ -n "$h" ] || fail "no booth named [$1]"
    ui list --hwnd "$h" --child-class SysListView32 | cut -f3-
}
# Whether the booth is shown: 1 or 0.
booth_visible() { ui find --hwnd "$(booth_hwnd "$1")" | cut -f5; }
# Counts the "in" messages of one type the simulator received.
sim_received() {  # type
    grep -c "\"dir\":\"in\",\"type\":$1[,}]" "$SIM_LOG" || true
}

# The names given, in the order their booth cells stand on the page (rows, then columns).
booths_in_page_order() {
    local name rect
    for name in "$@"; do
        rect=$(ui find --title Tellarix --child-text "$name" | awk -F'\t' 'NR==1 {print $4}')
        [ -n "$rect" ] || fail "no booth named [$name]"
        IFS=, read -r left top _ <<<"$rect"
        printf '%08d %08d %s\n' "$top" "$left" "$name"
    done | sort | cut -d' ' -f3- | paste -sd'|'
}
