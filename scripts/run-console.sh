#!/usr/bin/env bash
# Runs the console against callshop-sim: installs what is missing, builds both trees, makes a
# Wine prefix with the booth control registered, a bills store (bills.mdb, made by billsdb) and
# a printer whose bills land as PostScript in build/run-console/printed.ps, starts the simulator
# with the demo account (demo/demo) and lifelike traffic, writes Tellarix.ini beside
# Tellarix.exe (company data, bill labels, tax) and starts the console already configured.
#   With $DISPLAY: the console stays open on that display; closing it ends the run.
#   Without:       runs under Xvfb, logs in, lets traffic flow for RUN_SECONDS (default 20) and
#                  saves screenshots of the login window and a booth page; prints the folder.
# Environment: TELLARIX_JOBS (build jobs), RUN_NATIVE_DIR / RUN_WINDOWS_DIR (build folders), RUN_SECONDS, SHOTS_DIR (screenshot folder),
#              SIM_PORT (default 1804), SIM_RATE (events a second, default 2), SIM_BOOTHS (12).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=${TELLARIX_JOBS:-$(nproc)}
PORT=${SIM_PORT:-1804}
RATE=${SIM_RATE:-2}
BOOTHS=${SIM_BOOTHS:-12}

./scripts/deps.sh
NATIVE_DIR=${RUN_NATIVE_DIR:-$ROOT/build/native}
WINDOWS_DIR=${RUN_WINDOWS_DIR:-$ROOT/build/windows}
echo "run-console: building callshop-sim and billsdb (native tree)"
cmake --preset native -B "$NATIVE_DIR" >/dev/null
cmake --build "$NATIVE_DIR" -j "$JOBS" --target callshop-sim billsdb
echo "run-console: building Tellarix.exe and Tellarix.dll (windows tree)"
cmake --preset windows -B "$WINDOWS_DIR" >/dev/null
cmake --build "$WINDOWS_DIR" -j "$JOBS" --target Tellarix tellarix_boothctl tlx-uidriver \
    tlx-addprinter
SIM=$NATIVE_DIR/sim/callshop-sim
EXE=$WINDOWS_DIR/console/Tellarix.exe
DLL=$WINDOWS_DIR/boothctl/Tellarix.dll
DRIVER=$WINDOWS_DIR/tests/e2e/driver/tlx-uidriver.exe

source "$ROOT/scripts/wine/lib.sh"
HEADLESS=0
[ -n "${DISPLAY:-}" ] || HEADLESS=1
if [ $HEADLESS = 1 ]; then
    TLX_SUITE_LIMIT=$((${RUN_SECONDS:-20} + 300)) tlx_wine_up
else
    # A prefix of its own under build/, on the user's display.
    _tlx_env
    _tlx_make_template
    export WINEPREFIX=$ROOT/build/run-console/prefix
    if [ ! -d "$WINEPREFIX" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        cp -a "$TLX_TEMPLATE" "$WINEPREFIX"
    fi
fi

SHOP=$WINEPREFIX/drive_c/Tellarix
mkdir -p "$SHOP"
cp "$EXE" "$DLL" "$SHOP/"
TLX_SESSION_DIR=${TLX_SESSION_DIR:-$ROOT/build/run-console}
tlx_wine -t 120 regsvr32 /s 'C:\Tellarix\Tellarix.dll' || { echo "run-console: registering Tellarix.dll failed"; exit 1; }
# The shop's bills stay between runs of the demo prefix; a new store only where there is none.
[ -f "$SHOP/bills.mdb" ] || "$NATIVE_DIR/tools/billsdb/billsdb" create "$SHOP/bills.mdb"
TLX_ADDPRINTER_EXE=$WINDOWS_DIR/tests/win/tools/tlx-addprinter.exe \
    tlx_add_printer "$ROOT/build/run-console/printed.ps" || echo "run-console: no printer set up"
printf '%s\r\n' '[NETWORK]' 'SERVER_IP=127.0.0.1' "SERVER_PORT=$PORT" 'USERNAME=demo' \
    'PASSWORD=demo' '[OPERATORS]' 'Anna' 'Ben' 'Carla' '[ALIASES]' '1=Window booth' \
    '[MISC]' 'CURRENCY=$' 'TAX=20' \
    '[PRINT]' 'COMPANY_NAME=Tellarix Call Centre, 12 Station Road, Springfield' \
    'FINANCIAL_ID=VAT No. GB 123 4567 89' 'COMMERCIAL_NAME=Station Road Phones' \
    'LBL_ID_BILL=Bill no.' 'LBL_OPERATOR_NAME=Operator: ' 'LBL_CABIN_NUMBER=Booth' \
    'LBL_TEL_NR=Number: ' 'LBL_CALL_DURATION=Seconds: ' 'LBL_RATE=Rate' 'LBL_COST=Cost' \
    'LBL_TAX=Tax' 'LBL_COST_TAX=Cost with tax' 'LBL_TOTAL_COST=Total' 'LBL_TOTAL_TAX=Total tax' \
    'LBL_TOTAL_COST_TAX=Total to pay' 'LBL_MESSAGE=Thank you for calling with us!' \
    >"$SHOP/Tellarix.ini"

SIM_LOG=$ROOT/build/run-console/sim.log
mkdir -p "$(dirname "$SIM_LOG")"
"$SIM" --listen "127.0.0.1:$PORT" --http 127.0.0.1:0 --user demo --password demo --booths "$BOOTHS" \
    --generate --rate "$RATE" --log "$SIM_LOG" --ready-file "$ROOT/build/run-console/sim.ready" &
SIM_PID=$!
stop_all() {
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    if [ $HEADLESS = 1 ]; then
        tlx_wine_down
    else
        _tlx_stop_prefix "$WINEPREFIX"
    fi
}
trap stop_all EXIT
for _ in $(seq 100); do
    [ -s "$ROOT/build/run-console/sim.ready" ] && break
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
done
[ -s "$ROOT/build/run-console/sim.ready" ] ||
    { echo "run-console: callshop-sim did not start (port $PORT busy?)"; exit 1; }

if [ $HEADLESS = 0 ]; then
    echo "run-console: console on $DISPLAY; log in as demo/demo (pre-filled). Close it to stop."
    (cd "$SHOP" && wine 'C:\Tellarix\Tellarix.exe' </dev/null >"$ROOT/build/run-console/console.log" 2>&1) || true
    exit 0
fi

SHOTS=${SHOTS_DIR:-$ROOT/build/run-console/screenshots-$(date +%Y%m%d-%H%M%S)}
mkdir -p "$SHOTS"
export TLX_ARTIFACTS=$SHOTS
tlx_wine_bg -C "$SHOP" 'C:\Tellarix\Tellarix.exe'
ui() { tlx_wine "$DRIVER" "$@"; }
ui text --title Tellarix --id 1006 --contains "Please enter" --timeout 60 >/dev/null
tlx_screenshot login-window
ui click --title Tellarix --id 1002 >/dev/null
ui find --title Tellarix --child-class TellarixControlHost --visible --timeout 60 >/dev/null
sleep "${RUN_SECONDS:-20}"
tlx_screenshot booth-page
ui close --title Tellarix >/dev/null || true
ui wait-gone --exe Tellarix.exe --timeout 30 >/dev/null || true
echo "run-console: screenshots in $SHOTS"
ls "$SHOTS"
