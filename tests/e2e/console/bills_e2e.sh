#!/bin/bash
# Bills end to end: the console under Wine with callshop-sim, a bills store and the harness's
# file printer. One case per run: print, no-store.
set -u
CASE=${1:?case}
source "$(dirname "$0")/lib.sh"
export TLX_ARTIFACTS=${TLX_ARTIFACTS:-$E2E_ROOT/build/artifacts/console-e2e}
mkdir -p "$TLX_ARTIFACTS"
e2e_setup

PRINT_SETTINGS=('[OPERATORS]' 'Anna' '[MISC]' 'TAX=20' '[PRINT]' 'COMPANY_NAME=Station Phones'
    'FINANCIAL_ID=VAT 42' 'LBL_ID_BILL=Bill' 'LBL_OPERATOR_NAME=Op:' 'LBL_CABIN_NUMBER=Booth'
    'LBL_TEL_NR=Tel:' 'LBL_CALL_DURATION=Secs:' 'LBL_RATE=Rate' 'LBL_COST=Cost' 'LBL_TAX=Tax'
    'LBL_COST_TAX=With tax' 'LBL_TOTAL_COST=Total' 'LBL_TOTAL_TAX=Total tax'
    'LBL_TOTAL_COST_TAX=To pay' 'LBL_MESSAGE=Thank you')

store() { python3 -c 'import sqlite3, sys
for row in sqlite3.connect(sys.argv[1]).execute(sys.argv[2]): print("|".join(map(str, row)))' \
    "$SHOP/bills.mdb" "$1"; }
printed() { python3 "$(dirname "${BASH_SOURCE[0]}")/printed_lines.py" "$1"; }

# A finished call in booth 7, its row selected, Print pressed: one bill row, one call row and
# one printed page with every line in order.
case_print() {
    local job=$WORK/printed.ps
    tlx_add_printer "$job" || fail "no printer"
    start_sim --user demo --password demo --booths '3,7'
    console_at 127.0.0.1 "$SIM_PORT" '[ALIASES]' '7=Joe'"'"'s booth' "${PRINT_SETTINGS[@]}"
    press_login
    wait_main_window
    ctl 'dial 7;0044123;UK fixed;1.20'
    ctl 'connect 7'
    ctl 'finish 7;125;2.5'
    wait_match $'3\t0044123\t00:02:05\t2.50\t*' "finished call in booth 7" 20 booth_rows "Joe's booth"
    local booth
    booth=$(booth_hwnd "Joe's booth")
    ui list-select --hwnd "$booth" --child-class SysListView32 0 >/dev/null || fail "row not selected"
    ui click --hwnd "$booth" --child-text Print >/dev/null || fail "no Print button"

    wait_match 1 "the bill is stored" 20 store 'select count(*) from bills'
    local issued
    issued=$(store 'select issued_date from bills')
    expect_eq "1|Anna|Joe's booth|2.5|0.5|3.0" \
        "$(store 'select id_bill, operator, cabin_number, total_cost, total_taxes, total_cost_taxes from bills')" \
        "bill row"
    local end
    end=$(store 'select end_date from calls')
    expect_eq "1|0044123|125|1.2|0.5|2.5|3.0" \
        "$(store 'select id_bill, destination, duration, rate, call_taxes, call_cost, call_cost_taxes from calls')" \
        "call row"
    wait_match '*%%EOF*' "the bill is printed" 30 cat "$job"
    gs -q -dNOPAUSE -dBATCH -sDEVICE=png16m -r100 -sOutputFile="$TLX_ARTIFACTS/printed-bill.png" "$job"
    local when
    when=$(python3 -c 'import sys, datetime
print(datetime.datetime.strptime(sys.argv[1], "%Y-%m-%d %H:%M:%S").strftime("%d/%m/%y %H:%M:%S"))' "$issued")
    expect_eq "Station Phones|VAT 42|Bill 1|$when|Op:Anna|Booth Joe's booth|Tel:0044123|$end|Secs:125|Rate     1.20 Cost     2.50|Tax     0.50 With tax     3.00|----------------------------------------------------------------|Total     2.50|Total tax     0.50|To pay     3.00|Thank you" \
        "$(printed "$job" | paste -sd'|')" "printed bill, line by line"
}

# Without a store the operator hears of it before the login window: the store's error, then
# the notice that bills are not kept; the console then runs as before.
case_no_store() {
    rm -f "$SHOP/bills.mdb"
    write_ini '[NETWORK]' 'SERVER_IP=127.0.0.1' 'SERVER_PORT=1'
    start_console
    ui text --title "Database error" --id 65535 --equals $'Error number: 14\tunable to open database file\n' \
        --timeout 60 >/dev/null || fail "no Database error box: [$(ui text --title 'Database error' --id 65535)]"
    e2e_log "ok: Database error box"
    tlx_screenshot no-store-database-error
    ui find --title Tellarix --timeout 0 >/dev/null && fail "login window before the boxes"
    ui click --title "Database error" --id 1 >/dev/null || fail "cannot close the box"
    ui text --title Information --id 65535 --equals "Cannot connect to database. Probably connection string is invalid or database doesn't exist. Please create connection string  and / or database." \
        --timeout 20 >/dev/null || fail "no Information box"
    e2e_log "ok: Information box"
    ui find --title Tellarix --timeout 0 >/dev/null && fail "login window before the boxes"
    ui click --title Information --id 1 >/dev/null || fail "cannot close the box"
    wait_status "Please enter your Login and Password..." 30
    [ -e "$SHOP/bills.mdb" ] && fail "the console made a store"
    e2e_log "ok: no store was made"
}

case "$CASE" in
    print) case_print ;;
    no-store) case_no_store ;;
    *) fail "unknown case $CASE" ;;
esac
e2e_log "PASS: $CASE"
