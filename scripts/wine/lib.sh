# Wine session helpers shared by every Windows-side test. Source this file, then:
#   tlx_wine_up            private prefix (copy of a booted template) + own Xvfb display
#   tlx_wine PROG ARGS...  run a Windows program in that session (foreground)
#   tlx_wine_bg PROG ...   same, in the background (PID in $TLX_LAST_PID)
#   tlx_screenshot NAME    PNG of the whole virtual screen into $TLX_ARTIFACTS (if set)
#   tlx_add_printer FILE   register a PostScript printer whose jobs land in FILE (Unix path)
#   tlx_wine_down          stop everything the session started (also run by the EXIT trap)
# Every wait is bounded; nothing here touches displays or prefixes it did not create.

TLX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TLX_CACHE=${TELLARIX_CACHE:-$HOME/.cache/tellarix}
TLX_TEMPLATE="$TLX_CACHE/wine-template"

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
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" \
        >/dev/null 2>&1 &
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

# The template is booted once and cached; suites get cheap copies of it.
_tlx_make_template() {
    mkdir -p "$TLX_CACHE"
    local stamp want
    want="$(wine --version 2>/dev/null) v2"
    exec 8>"$TLX_CACHE/wine-template.lock"
    flock -w 300 8 || { tlx_log "template lock timed out"; return 1; }
    stamp=$(cat "$TLX_TEMPLATE/.tellarix-stamp" 2>/dev/null || true)
    if [ "$stamp" != "$want" ]; then
        tlx_log "booting a template prefix (once)"
        rm -rf "$TLX_TEMPLATE" "$TLX_TEMPLATE.new"
        (
            export WINEPREFIX="$TLX_TEMPLATE.new"
            _tlx_env
            _tlx_start_xvfb || exit 1
            trap 'wineserver -k 2>/dev/null; kill $TLX_XVFB_PID 2>/dev/null' EXIT
            timeout 180 wineboot -i >/dev/null 2>&1 || exit 1
            # A virtual desktop: without it closing a top-level window costs ~2 s.
            timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
            timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
            timeout 60 wineserver -w
        ) || { flock -u 8; tlx_log "template boot failed"; return 1; }
        echo "$want" >"$TLX_TEMPLATE.new/.tellarix-stamp"
        mv "$TLX_TEMPLATE.new" "$TLX_TEMPLATE"
    fi
    flock -u 8
}

tlx_wine_up() {
    _tlx_env
    _tlx_make_template || return 1
    TLX_SESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tellarix-wine.XXXXXX")
    export WINEPREFIX="$TLX_SESSION_DIR/prefix"
    cp -a "$TLX_TEMPLATE" "$WINEPREFIX"
    _tlx_start_xvfb || return 1
    trap tlx_wine_down EXIT
    trap 'exit 130' INT TERM
    tlx_log "prefix $WINEPREFIX on display $DISPLAY"
}

tlx_wine() { wine "$@"; }

tlx_wine_bg() {
    wine "$@" &
    TLX_LAST_PID=$!
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
    timeout 60 wine "$tool" "$(realpath -m "$file")" || { tlx_log "printer registration failed"; return 1; }
}

tlx_wine_down() {
    trap - EXIT
    if [ -n "${WINEPREFIX:-}" ] && [ -n "${TLX_SESSION_DIR:-}" ]; then
        timeout 20 wineserver -k 2>/dev/null || true
        timeout 20 wineserver -w 2>/dev/null || true
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
    if [ -n "${TLX_SESSION_DIR:-}" ] && [ -z "${TLX_KEEP_PREFIX:-}" ]; then
        rm -rf "$TLX_SESSION_DIR"
    fi
    TLX_SESSION_DIR=""
}
