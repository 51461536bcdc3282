# Wine session helpers shared by every Windows-side test. Source this file, then:
#   tlx_wine_up               private prefix (copy of a booted template) + own Xvfb display
#   tlx_wine [-t S] [-C DIR] PROG ...  run a Windows program in that session (in DIR), wait
#                             for it (default limit 120 s); its output is printed afterwards,
#                             without carriage returns
#   tlx_wine_bg PROG ...      start one in the background (PID in $TLX_LAST_PID, output in
#                             $TLX_LAST_LOG); teardown ends it if it is still running
#   tlx_screenshot NAME       PNG of the whole virtual screen into $TLX_ARTIFACTS (if set)
#   tlx_add_printer FILE      register a PostScript printer whose jobs land in FILE (Unix path)
#   tlx_wine_down             stop everything the session started (also the EXIT trap); fails,
#                             naming them, when processes of the prefix outlived the teardown
#
# Wine starts its helper processes (the desktop, services, rpcss, ...) from whichever program of
# the prefix needs them first, and they inherit that program's descriptors. Were that a pipe
# (ctest's output, a `| tr` in a script), the helper would hold it open for as long as it lives,
# and the reader would wait. So no Wine process started here gets a pipe: input from /dev/null,
# output into a file of the session; descriptors 6 to 9 (the UI driver's session pipes, locks)
# are closed for them. Every wait is bounded; nothing here touches displays or prefixes it did
# not create.

TLX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TLX_CACHE=${TELLARIX_CACHE:-$HOME/.cache/tellarix}
TLX_TEMPLATE="$TLX_CACHE/wine-template"
TLX_BG_PIDS=()

tlx_log() { echo "[wine] $*" >&2; }

_tlx_env() {
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    export LANG=en_US.UTF-8
    export WINEARCH=win64
    unset WINELOADERNOEXEC
}

# Starts an Xvfb on a display it picks itself (-displayfd), so two suites never share one.
_tlx_start_xvfb() {
    local fifo dir
    dir=$(mktemp -d)
    fifo="$dir/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 \
        6>&- 7>&- 8>&- 9>&- &
    TLX_XVFB_PID=$!
    local num=""
    if ! read -r -t 20 num <"$fifo"; then
        tlx_log "Xvfb did not report a display within 20 s"
        kill "$TLX_XVFB_PID" 2>/dev/null
        rm -rf "$dir"
        return 1
    fi
    rm -rf "$dir"
    export DISPLAY=":$num"
}

# The processes whose environment names this prefix, but for this shell, its ancestors and
# the session's display.
_tlx_prefix_pids() {
    local prefix=$1 e pid keep=" ${TLX_XVFB_PID:-} " p=$BASHPID
    while [ -n "$p" ] && [ "$p" -gt 1 ]; do
        keep+="$p "
        p=$(awk '{print $4}' "/proc/$p/stat" 2>/dev/null)
    done
    for e in $(grep -lzxF "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null); do
        pid=${e#/proc/}
        pid=${pid%/environ}
        [[ "$keep" == *" $pid "* ]] || echo "$pid"
    done
}

# Ends the Wine processes of a prefix: the ones started in the background first (so none of
# them brings a new wineserver up behind the kill), then the server and all its clients. Then
# checks that nothing of the prefix is left; anything that is gets named, killed, and the
# call fails.
_tlx_stop_prefix() {
    local prefix=$1 pid i left
    for pid in "${TLX_BG_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null; done
    for pid in "${TLX_BG_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    TLX_BG_PIDS=()
    WINEPREFIX=$prefix timeout 20 wineserver -k </dev/null >/dev/null 2>&1 6>&- 7>&- 8>&- 9>&-
    WINEPREFIX=$prefix timeout 20 wineserver -w </dev/null >/dev/null 2>&1 6>&- 7>&- 8>&- 9>&-
    # A process that was being started while the server went down dies on its own at once;
    # give it a moment before calling it left behind.
    for i in $(seq 50); do
        left=$(_tlx_prefix_pids "$prefix")
        [ -z "$left" ] && return 0
        sleep 0.1
    done
    for pid in $left; do
        tlx_log "left behind by the test: pid $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
        kill -KILL "$pid" 2>/dev/null
    done
    return 1
}

# The template is booted once and cached; suites get cheap copies of it.
_tlx_make_template() {
    mkdir -p "$TLX_CACHE"
    local stamp want rc=0
    want="$(wine --version 2>/dev/null) v2"
    exec 8>"$TLX_CACHE/wine-template.lock"
    flock -w 300 8 || { tlx_log "template lock timed out"; exec 8>&-; return 1; }
    stamp=$(cat "$TLX_TEMPLATE/.tellarix-stamp" 2>/dev/null || true)
    if [ "$stamp" != "$want" ]; then
        tlx_log "booting a template prefix (once)"
        rm -rf "$TLX_TEMPLATE" "$TLX_TEMPLATE.new"
        (
            export WINEPREFIX="$TLX_TEMPLATE.new"
            _tlx_env
            _tlx_start_xvfb || exit 1
            trap 'kill $TLX_XVFB_PID 2>/dev/null' EXIT
            w() { timeout "$1" "${@:2}" </dev/null >/dev/null 2>&1 6>&- 7>&- 8>&- 9>&-; }
            w 180 wineboot -i || exit 1
            # A virtual desktop: without it closing a top-level window costs ~2 s.
            w 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
            w 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f
            w 60 wineserver -w
        ) || rc=1
        _tlx_stop_prefix "$TLX_TEMPLATE.new" || rc=1
        if [ $rc -eq 0 ]; then
            echo "$want" >"$TLX_TEMPLATE.new/.tellarix-stamp"
            mv "$TLX_TEMPLATE.new" "$TLX_TEMPLATE"
        else
            tlx_log "template boot failed"
            rm -rf "$TLX_TEMPLATE.new"
        fi
    fi
    flock -u 8
    exec 8>&-
    return $rc
}

# A test's own prefix: a copy of the template, but for the system folder's DLLs (600 MB of
# the 700), which nothing a test runs ever writes; those are links to the template's. The
# printer spooler's folders and the registry are real copies, as they are written.
_tlx_copy_prefix() {
    local from=$1 to=$2 sys=drive_c/windows/system32
    mkdir -p "$to" &&
        tar -C "$from" --no-wildcards-match-slash --exclude="./$sys/*.dll" -cf - . |
        tar -C "$to" -xf - &&
        find "$from/$sys" -maxdepth 1 -type f -name '*.dll' -exec ln -t "$to/$sys" {} +
}

tlx_wine_up() {
    _tlx_env
    _tlx_make_template || return 1
    TLX_SESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tellarix-wine.XXXXXX")
    export WINEPREFIX="$TLX_SESSION_DIR/prefix"
    _tlx_copy_prefix "$TLX_TEMPLATE" "$WINEPREFIX" || return 1
    _tlx_start_xvfb || return 1
    trap 'tlx_wine_down || exit 1' EXIT
    trap 'tlx_log "stopped by a signal or the suite time limit"; exit 130' INT TERM
    # ctest kills a test that overruns its limit outright, and nothing would stop its Wine
    # processes then; so the suite ends itself first, through the EXIT trap. The watchdog
    # holds no descriptor of the test.
    local limit=${TLX_SUITE_LIMIT:-270} me=$$
    if [ "$limit" -gt 0 ]; then
        (sleep "$limit" && kill -TERM "$me" && pkill -TERM -P "$me") \
            </dev/null >/dev/null 2>&1 6>&- 7>&- 8>&- 9>&- &
        TLX_WATCHDOG_PID=$!
        disown "$TLX_WATCHDOG_PID"
    fi
    tlx_log "prefix $WINEPREFIX on display $DISPLAY"
}

# tlx_wine [-t SECONDS] [-C DIR] PROG ARGS...: the program's status (124 when the limit ended
# it); DIR is its working folder.
tlx_wine() {
    local limit=120 dir=.
    if [ "${1:-}" = -t ]; then limit=$2; shift 2; fi
    if [ "${1:-}" = -C ]; then dir=$2; shift 2; fi
    local out rc
    out=$(mktemp "$TLX_SESSION_DIR/out.XXXXXX")
    (cd "$dir" && exec timeout --kill-after=10 "$limit" wine "$@" </dev/null >"$out" 2>&1 6>&- 7>&- 8>&- 9>&-)
    rc=$?
    tr -d '\r' <"$out"
    rm -f "$out"
    [ $rc -eq 124 ] && tlx_log "time limit of $limit s reached: $1"
    return $rc
}

# tlx_wine_bg [-C DIR] PROG ARGS...: DIR is the program's working folder.
tlx_wine_bg() {
    local dir=.
    if [ "${1:-}" = -C ]; then dir=$2; shift 2; fi
    TLX_LAST_LOG=$(mktemp "$TLX_SESSION_DIR/bg.XXXXXX")
    (cd "$dir" && exec wine "$@" </dev/null >"$TLX_LAST_LOG" 2>&1 6>&- 7>&- 8>&- 9>&-) &
    TLX_LAST_PID=$!
    TLX_BG_PIDS+=("$TLX_LAST_PID")
}

# Windows path of a Unix path (Wine maps / to Z:).
tlx_winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

tlx_screenshot() {
    [ -n "${TLX_ARTIFACTS:-}" ] || return 0
    mkdir -p "$TLX_ARTIFACTS"
    timeout 20 import -display "$DISPLAY" -window root "$TLX_ARTIFACTS/$1.png" 2>/dev/null ||
        tlx_log "screenshot $1 failed"
}

# Registers a PostScript printer (Wine's own driver) as the default printer; each job is
# written to FILE. Needs the tlx-addprinter.exe tool from the windows tree.
tlx_add_printer() {
    local file=$1 tool=${TLX_ADDPRINTER_EXE:-$TLX_ROOT/build/windows/tests/win/tools/tlx-addprinter.exe}
    [ -f "$tool" ] || { tlx_log "printer tool missing: $tool"; return 1; }
    mkdir -p "$(dirname "$file")"
    tlx_wine -t 60 "$tool" "$(realpath -m "$file")" >&2 || { tlx_log "printer registration failed"; return 1; }
}

tlx_wine_down() {
    trap - EXIT
    trap '' INT TERM  # the teardown runs to its end
    local rc=0
    if [ -n "${TLX_WATCHDOG_PID:-}" ]; then
        # Both at once: the watchdog cannot act on its sleep ending.
        kill -KILL "$TLX_WATCHDOG_PID" $(pgrep -P "$TLX_WATCHDOG_PID") 2>/dev/null
        TLX_WATCHDOG_PID=""
    fi
    if [ -n "${WINEPREFIX:-}" ] && [ -n "${TLX_SESSION_DIR:-}" ]; then
        _tlx_stop_prefix "$WINEPREFIX" || rc=1
    fi
    if [ -n "${TLX_XVFB_PID:-}" ]; then
        kill "$TLX_XVFB_PID" 2>/dev/null || true
        wait "$TLX_XVFB_PID" 2>/dev/null || true
        TLX_XVFB_PID=""
    fi
    # Artifacts: turn the BMPs programs wrote into PNGs people can open.
    if [ -n "${TLX_ARTIFACTS:-}" ] && [ -d "$TLX_ARTIFACTS" ]; then
        local b
        for b in "$TLX_ARTIFACTS"/*.bmp; do
            [ -e "$b" ] || continue
            convert "$b" "${b%.bmp}.png" 2>/dev/null && rm -f "$b"
        done
    fi
    # The prefix goes only once nothing of it runs any more.
    if [ -n "${TLX_SESSION_DIR:-}" ] && [ -z "${TLX_KEEP_PREFIX:-}" ]; then
        rm -rf "$TLX_SESSION_DIR"
    fi
    TLX_SESSION_DIR=""
    [ $rc -eq 0 ] || tlx_log "FAIL: Wine processes outlived the test (named above)"
    return $rc
}
