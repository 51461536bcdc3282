#!/bin/bash
# The day close end to end: two bills through the console, then "Day close...": its figures
# against the store's tool, the X report printed, the day closed against counted cash, the Z
# report printed and stored, and its reprint from the history.
set -u
source "$(dirname "$0")/lib.sh"
e2e_setup

store() { python3 -c 'import sqlite3, sys
for row in sqlite3.connect(sys.argv[1], isolation_level=None).execute(sys.argv[2]):
    print("|".join(map(str, row)))' \
    "$SHOP/bills.mdb" "$1"; }
printed() { python3 "$(dirname "${BASH_SOURCE[0]}")/printed_lines.py" "$1"; }
# The report's lines from "Bills:" on, as the tool prints them and as the console shows them.
figures_of() { sed -n '/^Bills: /,$p' | tr -d '\r'; }
tool_report() { "$TLX_BILLSDB_EXE" report "$SHOP/bills.mdb" "$@"; }
job=$WORK/printed.ps
printed_job() {  # what
    wait_match '*%%EOF*' "$1 printed" 30 cat "$job"
    printed "$job" >"$WORK/$1.txt"
    rm -f "$job"
}
DC=(--title 'Day close')

tlx_add_printer "$job" || fail "no printer"
start_sim --user demo --password demo --booths '1'
console_at 127.0.0.1 "$SIM_PORT" '[OPERATORS]' 'Anna' '[MISC]' 'TAX=20' '[PRINT]' \
    'COMPANY_NAME=Station Phones' '[REPORTS]' 'LBL_Z_TITLE=Closing' 'LBL_DIFFERENCE=Short/over'
press_login
wait_main_window
for n in 1 2; do
    ctl "dial 1;011$n;A;1.00" && ctl 'connect 1' && ctl "finish 1;60;$n.00"
    wait_match "*"$'3\t011'"$n*" "call $n finished" 20 booth_rows 1
    booth=$(booth_hwnd 1)
    ui list-select --hwnd "$booth" --child-class SysListView32 $((n - 1)) >/dev/null || fail "no row"
    ui click --hwnd "$booth" --child-text Print >/dev/null || fail "no Print button"
    printed_job "bill-$n"
done
ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
ui click --title Tellarix --id 1039 >/dev/null || fail "no Day close button"

# The window's figures are the store's, as the tool reads them.
ui text "${DC[@]}" --id 1070 --contains 'Expected cash' >/dev/null || fail "no figures"
expect_eq "$(tool_report | figures_of)" "$(ui text "${DC[@]}" --id 1070 | figures_of)" \
    "the window's figures against the store"
ui click "${DC[@]}" --id 1074 >/dev/null || fail "no Print X report"
printed_job x-report
expect_eq "Station Phones|X report" "$(head -2 "$WORK/x-report.txt" | paste -sd'|')" "X heading"
expect_eq "$(tool_report | figures_of)" "$(figures_of <"$WORK/x-report.txt")" "X report printed"

ui set-text "${DC[@]}" --id 1071 --value '3,40' >/dev/null
ui text "${DC[@]}" --id 1072 --equals '-0.20' >/dev/null ||
    fail "difference: [$(ui text "${DC[@]}" --id 1072)]"
ui set-text "${DC[@]}" --id 1073 --value 'coin missing' >/dev/null
tlx_screenshot day-close-counted
ui click "${DC[@]}" --id 1075 >/dev/null || fail "no Close the day"
wait_match 'Close the day now?*counted 3.40, difference -0.20*' "the confirmation" 20 \
    ui text --title 'Close the day' --id 65535
ui click --title 'Close the day' --id 6 >/dev/null || fail "no Yes"
ui text --title 'Opening float' --id 1080 --equals '0.00' >/dev/null || fail "float offered"
ui set-text --title 'Opening float' --id 1080 --value '50' :: \
    click --title 'Opening float' --id 1 >/dev/null || fail "no float window"
printed_job z-report
expect_eq "1|0|2|2|360|340|-20|coin missing|5000" \
    "$(store 'select number, after_bill, last_bill, bills, expected_cash_cents, counted_cash_cents, difference_cents, note, next_float_cents from day_closes')" \
    "the close stored"
expect_eq "Station Phones|Closing 1|Operator: Anna" "$(head -3 "$WORK/z-report.txt" | paste -sd'|')" \
    "Z heading"
expect_eq "$(tool_report --z 1 | figures_of | sed 's/^Difference /Short\/over /')" \
    "$(figures_of <"$WORK/z-report.txt")" "Z report printed"
"$TLX_BILLSDB_EXE" verify "$SHOP/bills.mdb" >/dev/null || fail "chain after the close"
# The close is backed up at once, beside the start's backup: a checked copy holds close 1.
closed_backup() {
    local f
    for f in "$SHOP"/Backups/bills-*.mdb; do
        "$TLX_BILLSDB_EXE" report "$f" --z 1 >/dev/null 2>&1 && echo "$f"
    done
}
wait_match '*bills-*.mdb*' "the close in a backup" 60 closed_backup

# The next period starts empty, with the float; the history lists the close; its reprint.
ui text "${DC[@]}" --id 1070 --contains 'Expected cash     50.00' >/dev/null ||
    fail "next period: [$(ui text "${DC[@]}" --id 1070)]"
wait_match $'0\t*\t1\t*\t3.60\t-0.20' "the close in the history" 20 \
    ui list "${DC[@]}" --id 1076
tlx_screenshot day-close-history
ui list-select "${DC[@]}" --id 1076 0 :: click "${DC[@]}" --id 1077 >/dev/null
printed_job z-reprint
expect_eq "$(cat "$WORK/z-report.txt")" "$(cat "$WORK/z-reprint.txt")" "the reprint"
ui click "${DC[@]}" --id 2 >/dev/null
e2e_log "PASS: day close"
