#!/bin/bash
# Bills end to end: the console under Wine with callshop-sim, a bills store and the harness's
# file printer. One case per run: print, page, no-store, void, changed-store, restore, export,
# output, outcomes.
set -u
CASE=${1:?case}
source "$(dirname "$0")/lib.sh"
e2e_setup

PRINT_SETTINGS=('[OPERATORS]' 'Anna' '[MISC]' 'TAX=20' '[PRINT]' 'COMPANY_NAME=Station Phones'
    'FINANCIAL_ID=VAT 42' 'LBL_ID_BILL=Bill' 'LBL_OPERATOR_NAME=Op:' 'LBL_CABIN_NUMBER=Booth'
    'LBL_TEL_NR=Tel:' 'LBL_CALL_DURATION=Secs:' 'LBL_RATE=Rate' 'LBL_COST=Cost' 'LBL_TAX=Tax'
    'LBL_COST_TAX=With tax' 'LBL_TOTAL_COST=Total' 'LBL_TOTAL_TAX=Total tax'
    'LBL_TOTAL_COST_TAX=To pay' 'LBL_MESSAGE=Thank you')

store() { python3 -c 'import sqlite3, sys
for row in sqlite3.connect(sys.argv[1], isolation_level=None).execute(sys.argv[2]):
    print("|".join(map(str, row)))' \
    "$SHOP/bills.mdb" "$1"; }
printed() { python3 "$(dirname "${BASH_SOURCE[0]}")/printed_lines.py" "$1"; }

# A finished call in booth 7, its row selected, Print pressed: one bill row, one call row and
# one printed page with every line in order. Without a printer first: the bill is stored and
# the operator is told why there is no paper.
case_print() {
    local job=$WORK/printed.ps
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
    ui text --title Printing --id 65535 --equals \
        "Bill 1 was not printed: no printer is set up on this computer." --timeout 30 >/dev/null ||
        fail "no printer: [$(ui text --title Printing --id 65535)]"
    ui click --title Printing --id 1 >/dev/null
    wait_match 1 "the bill without paper is stored" 20 store 'select count(*) from bills'

    tlx_add_printer "$job" || fail "no printer"
    ui click --hwnd "$booth" --child-text Print >/dev/null || fail "no Print button"
    wait_match 2 "the bill is stored" 20 store 'select count(*) from bills'
    local issued
    issued=$(store 'select issued_date from bills where id_bill=2')
    expect_eq "2|Anna|Joe's booth|2.5|0.5|3.0" \
        "$(store 'select id_bill, operator, cabin_number, total_cost, total_taxes, total_cost_taxes from bills where id_bill=2')" \
        "bill row"
    local end
    end=$(store 'select end_date from calls where id_bill=2')
    expect_eq "2|0044123|125|1.2|0.5|2.5|3.0" \
        "$(store 'select id_bill, destination, duration, rate, call_taxes, call_cost, call_cost_taxes from calls where id_bill=2')" \
        "call row"
    wait_match '*%%EOF*' "the bill is printed" 30 cat "$job"
    gs -q -dNOPAUSE -dBATCH -sDEVICE=png16m -r100 -sOutputFile="$TLX_ARTIFACTS/printed-bill.png" "$job"
    local when
    when=$(python3 -c 'import sys, datetime
print(datetime.datetime.strptime(sys.argv[1], "%Y-%m-%d %H:%M:%S").strftime("%d/%m/%y %H:%M:%S"))' "$issued")
    expect_eq "Station Phones|VAT 42|Bill 2|$when|Op:Anna|Booth Joe's booth|Tel:0044123|$end|Secs:125|Rate     1.20 Cost     2.50|Tax     0.50 With tax     3.00|----------------------------------------------------------------|Total     2.50|Total tax     0.50|To pay     3.00|Thank you" \
        "$(printed "$job" | paste -sd'|')" "printed bill, line by line"
}

# Bills of a session on the Bills page: the list, the calls of the selected bill, reprints of
# stored amounts, a bill without calls, and Print only with a bill to print.
case_page() {
    local job=$WORK/printed.ps
    tlx_add_printer "$job" || fail "no printer"
    start_sim --user demo --password demo --booths '1,2'
    console_at 127.0.0.1 "$SIM_PORT" "${PRINT_SETTINGS[@]}"
    press_login
    wait_main_window
    ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
    wait_match "0" "Print disabled on an empty list" 20 print_enabled
    ui tab-select --title Tellarix --child-class SysTabControl32 0 >/dev/null

    ctl 'dial 1;0111;A;1.00' && ctl 'connect 1' && ctl 'finish 1;60;1.00'
    ctl 'dial 1;0112;B;2.00' && ctl 'connect 1' && ctl 'finish 1;30;2.00'
    ctl 'dial 2;0222;C;3.00' && ctl 'reject 2'
    wait_match $'4\t0222*' "rejected call in booth 2" 20 booth_rows 2
    wait_match $'3\t0111*\n3\t0112*' "two finished calls in booth 1" 20 booth_rows 1
    bill_of 1 1  # the newer call alone: bill 1
    bill_of 1 0  # the older one: bill 2
    # A stored total that differs from its calls (the next bill refreshes the list).
    wait_match 2 "two bills stored" 20 store 'select count(*) from bills'
    store "update bills set total_cost=9.99 where id_bill=2" >/dev/null
    bill_of 2 0  # a rejected call only: bill 3, without calls
    wait_match 3 "three bills stored" 20 store 'select count(*) from bills'

    ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
    wait_match $'1\t*\t1\t*/*/* *\tAnna\t1\t2.00\t0.40\t2.40\n0\t*\t2\t*\t9.99\t0.20\t1.20\n0\t*\t3\t*\tAnna\t2\t0.00\t0.00\t0.00' \
        "the bills listed, the first selected, in regional form" 20 bills_list
    wait_match $'?\t*\t0112\t*\t30\t*' "the first bill's call" 20 calls_list
    ui list-select --title Tellarix --id 1025 1 >/dev/null
    wait_match $'?\t*\t0111\t*\t60\t*' "selecting a bill shows exactly its calls" 20 calls_list
    ui list-select --title Tellarix --id 1025 2 >/dev/null
    wait_match "" "a bill without calls shows none" 20 calls_list
    tlx_screenshot bills-page

    # The stored total prints as stored; every reprint has all of the bill's calls.
    local i
    for i in 1 2; do
        rm -f "$job"
        ui list-select --title Tellarix --id 1025 1 >/dev/null
        wait_match $'?\t*\t0111\t*' "bill 2 selected" 20 calls_list
        ui click --title Tellarix --id 1028 >/dev/null || fail "Print refused"
        wait_match '*%%EOF*' "reprint $i printed" 30 cat "$job"
        printed "$job" | paste -sd'|' >"$WORK/reprint-$i.txt"
        [[ "$(cat "$WORK/reprint-$i.txt")" == *"Bill 2|"*"|Tel:0111|"*"|Secs:60|"*"|Total     9.99|"* ]] ||
            fail "reprint $i: [$(cat "$WORK/reprint-$i.txt")]"
        e2e_log "ok: reprint $i with its call and the stored total"
    done
    rm -f "$job"
    ui list-select --title Tellarix --id 1025 2 >/dev/null
    ui click --title Tellarix --id 1028 >/dev/null || fail "Print refused"
    wait_match '*%%EOF*' "bill without calls reprinted" 30 cat "$job"
    [[ "$(printed "$job" | paste -sd'|')" == *"|Booth 2|----"* ]] ||
        fail "hyphens not right after the booth line: [$(printed "$job" | paste -sd'|')]"
    e2e_log "ok: a bill without calls has the hyphen line after the booth line"
}
print_enabled() { ui find --title Tellarix --id 1028 | cut -f6; }
bills_list() { ui list --title Tellarix --id 1025 | cut -f2-; }
calls_list() { ui list --title Tellarix --id 1027 | cut -f2-; }
# Selects one row of a booth and presses its Print button.
bill_of() {  # booth row
    local booth
    booth=$(booth_hwnd "$1")
    ui list-select --hwnd "$booth" --child-class SysListView32 "$2" >/dev/null || fail "no row $2"
    ui click --hwnd "$booth" --child-text Print >/dev/null || fail "no Print button"
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

# A first-edition store is upgraded at start-up without a word; a bill voided from the Bills
# page: a reason required, a confirmation naming it, the void stored with negated amounts and
# linked, printed with its line, marked in the grid and stated under it; a second void refused.
case_void() {
    local job=$WORK/printed.ps
    first_edition
    tlx_add_printer "$job" || fail "no printer"
    start_sim --user demo --password demo --booths '1'
    console_at 127.0.0.1 "$SIM_PORT" "${PRINT_SETTINGS[@]}" 'LBL_VOID=Cancels bill' 'LBL_VOID_REASON=Why'
    [ -e "$SHOP/bills.mdb.before-upgrade" ] || fail "no copy before the upgrade"
    expect_eq 4 "$(store 'select version from store_edition')" "upgraded at start-up"
    press_login
    wait_main_window
    ctl 'dial 1;0111;A;1.00' && ctl 'connect 1' && ctl 'finish 1;60;1.00'
    wait_match $'3\t0111*' "a finished call" 20 booth_rows 1
    bill_of 1 0
    wait_match '*%%EOF*' "bill 1 printed" 30 cat "$job"
    rm -f "$job"
    ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
    ui text --title Tellarix --id 1034 --equals "Bills store checked at start-up: 0 bills, chain intact" \
        >/dev/null || fail "check line: [$(ui text --title Tellarix --id 1034)]"
    wait_match $'1\t*\t1\t*' "bill 1 listed and selected" 20 bills_list

    void_bill 'wrong booth' 'Void bill 1 (total incl. taxes 1.20)? A new bill with the amounts negated is stored and printed.'
    wait_match '*%%EOF*' "the void printed" 30 cat "$job"
    expect_eq "2|Anna|1|-1.0|-0.2|-1.2" \
        "$(store 'select id_bill, operator, cabin_number, total_cost, total_taxes, total_cost_taxes from bills where id_bill=2')" \
        "the void's row, amounts negated"
    expect_eq "2|0111|60|1.0|-0.2|-1.0|-1.2" \
        "$(store 'select id_bill, destination, duration, rate, call_taxes, call_cost, call_cost_taxes from calls where id_bill=2')" \
        "the void's call, amounts negated"
    expect_eq "1|2|Anna|wrong booth" \
        "$(store 'select id_original, id_void, operator, reason from bill_voids')" "the link"
    [[ "$(printed "$job" | paste -sd'|')" == *"|Bill 2|Cancels bill 1 - Why: wrong booth|"*"|To pay     -1.20|"* ]] ||
        fail "printed void: [$(printed "$job" | paste -sd'|')]"
    e2e_log "ok: the void printed with its line"

    ui list-select --title Tellarix --id 1025 0 >/dev/null
    wait_match "Voided by bill 2 on */*/* *:* * wrong booth" "the voided bill's state" 20 \
        ui text --title Tellarix --id 1033
    tlx_screenshot bills-voided-selected
    ui list-select --title Tellarix --id 1025 1 >/dev/null
    wait_match "Void of bill 1 on */*/* *:* * wrong booth" "the void's state" 20 \
        ui text --title Tellarix --id 1033
    tlx_screenshot bills-void-selected

    ui list-select --title Tellarix --id 1025 0 >/dev/null
    void_bill 'again' 'Void bill 1 (total incl. taxes 1.20)?*'
    # The confirmation and the refusal share their caption: look for the refusal afresh each time.
    wait_match "Bill 1 is already voided, by bill 2." "the refusal" 20 ui text --title Void --id 65535
    ui click --title Void --id 1 >/dev/null
    expect_eq 2 "$(store 'select count(*) from bills')" "a second void refused"
}
first_edition() {
    local t
    for t in bill_seals bill_voids store_edition print_outcomes day_closes day_close_rates bill_rates; do
        store "drop table $t" >/dev/null
    done
}
# Void... on the selected bill: OK without a reason is refused, then the reason, then Yes.
void_bill() {  # reason confirmation-pattern
    ui click --title Tellarix --id 1032 >/dev/null || fail "Void refused"
    ui click --title 'Void bill' --id 1 >/dev/null || fail "no reason window"
    ui text --title Void --id 65535 --equals "Please enter why the bill is voided." >/dev/null ||
        fail "an empty reason taken"
    ui click --title Void --id 1 >/dev/null
    [ "$1" == "wrong booth" ] && tlx_screenshot void-reason
    ui set-text --title 'Void bill' --id 1035 --value "$1" :: click --title 'Void bill' --id 1 >/dev/null
    wait_match "$2" "the confirmation" 20 ui text --title Void --id 65535
    ui click --title Void --id 6 >/dev/null || fail "no Yes"
}

# Two sealed bills, one amount changed behind the console's back: at start-up the operator is
# told which bill, once, before the login window.
case_changed_store() {
    two_sealed_bills
    store 'update bills set total_cost=1.5 where id_bill=2' >/dev/null
    write_ini '[NETWORK]' 'SERVER_IP=127.0.0.1' 'SERVER_PORT=1'
    start_console
    ui text --title "Bills store" --id 65535 --timeout 60 --equals \
        "The bills store's seals do not hold: bill 2 was changed: its fields, calls or void record no longer match its seal." \
        >/dev/null || fail "no start-up message: [$(ui text --title 'Bills store' --id 65535)]"
    ui find --title Tellarix --timeout 0 >/dev/null && fail "login window before the message"
    ui click --title "Bills store" --id 1 >/dev/null
    wait_status "Please enter your Login and Password..." 30
    ui find --title "Bills store" --timeout 0 >/dev/null && fail "the message came twice"
    e2e_log "ok: the changed bill named once at start-up"
}

two_sealed_bills() {
    store "insert into bills(issued_date, operator, cabin_number, total_cost, total_taxes, total_cost_taxes) values ('2026-07-12 10:00:00', 'Anna', '1', 1, 0.2, 1.2), ('2026-07-12 11:00:00', 'Anna', '2', 2, 0.4, 2.4)" >/dev/null
    first_edition
    "$TLX_BILLSDB_EXE" upgrade "$SHOP/bills.mdb" >/dev/null || fail "not upgraded"
}

# A changed store with a good backup beside it: one question at start naming what is wrong and
# the backup; Yes restores it, the damaged file is kept aside, and the console bills again.
case_restore() {
    two_sealed_bills
    mkdir -p "$SHOP/Backups"
    "$TLX_BILLSDB_EXE" backup "$SHOP/bills.mdb" "$SHOP/Backups" >/dev/null || fail "no backup"
    store 'update bills set total_cost=1.5 where id_bill=2' >/dev/null
    tlx_add_printer "$WORK/printed.ps" || fail "no printer"
    start_sim --user demo --password demo --booths '1'
    write_ini '[NETWORK]' "SERVER_IP=127.0.0.1" "SERVER_PORT=$SIM_PORT" 'USERNAME=demo' \
        'PASSWORD=demo' "${PRINT_SETTINGS[@]}"
    start_console
    wait_match "The bills store is damaged: the seals do not hold: bill 2 was changed*The newest good backup is Backups*bills-*.mdb, made on 20*Yes: restore*No: go on without storing bills." \
        "the damaged store's question" 60 ui text --title "Bills store" --id 65535
    tlx_screenshot damaged-store-question
    ui click --title "Bills store" --id 6 >/dev/null || fail "no Yes"
    wait_status "Please enter your Login and Password..." 60
    ui find --title "Bills store" --timeout 0 >/dev/null && fail "a second box about the store"
    ls "$SHOP"/bills.mdb.replaced-* >/dev/null 2>&1 || fail "the damaged store was not kept aside"
    press_login
    wait_main_window
    ctl 'dial 1;0111;A;1.00' && ctl 'connect 1' && ctl 'finish 1;60;1.00'
    wait_match $'3\t0111*' "a finished call" 20 booth_rows 1
    bill_of 1 0
    wait_match "3|2.0" "the bill stored beside the restored ones" 30 store 'select count(*), sum(total_cost * (id_bill = 2)) from bills'
    "$TLX_BILLSDB_EXE" verify "$SHOP/bills.mdb" >/dev/null || fail "the restored store does not verify"
}

# Export from the Bills page: this month into a folder picked in the platform's folder dialog;
# the two files with a header and the bill's row. A backup folder the settings name and that is missing is told.
case_export() {
    local out=$WINEPREFIX/drive_c/export
    mkdir -p "$out"
    tlx_add_printer "$WORK/printed.ps" || fail "no printer"
    start_sim --user demo --password demo --booths '1'
    console_at 127.0.0.1 "$SIM_PORT" "${PRINT_SETTINGS[@]}" '[BACKUP]' 'FOLDER=C:\missing'
    wait_match 'No backup was made: the folder C:\\missing cannot be found.*' "the failed backup told" 60 \
        ui text --title Backup --id 65535
    ui click --title Backup --id 1 >/dev/null
    press_login
    wait_main_window
    ctl 'dial 1;0111;A;1.00' && ctl 'connect 1' && ctl 'finish 1;60;1.00'
    wait_match $'3\t0111*' "a finished call" 20 booth_rows 1
    bill_of 1 0
    wait_match 1 "the bill stored" 30 store 'select count(*) from bills'
    ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
    ui click --title Tellarix --id 1038 >/dev/null || fail "no Export..."
    ui click --title 'Export bills' --id 1044 >/dev/null || fail "no export dialog"
    ui find --title 'Select Folder' >/dev/null || fail "no folder dialog"
    tlx_screenshot export-folder-dialog
    ui set-text --title 'Select Folder' --id 1152 --value 'C:\export' \
        :: click --title 'Select Folder' --id 1 >/dev/null || fail "folder not typed"
    wait_match 'C:\\export' "the folder picked" 20 ui text --title 'Export bills' --id 1043
    tlx_screenshot export-dialog
    ui click --title 'Export bills' --id 1 >/dev/null
    wait_match '1 bill and 1 call exported to C:\\export (bills.csv, calls.csv).' "the export told" 30 \
        ui text --title Export --id 65535
    ui click --title Export --id 1 >/dev/null
    expect_eq 2 "$(wc -l <"$out/bills.csv")" "bills.csv: header and one bill"
    [[ "$(head -c3 "$out/bills.csv")" == $'\xef\xbb\xbf' ]] || fail "bills.csv has no byte-order mark"
    [[ "$(sed -n 2p "$out/bills.csv")" == 1,*,Anna,1,1.00,0.20,1.20* ]] ||
        fail "bills.csv row: [$(sed -n 2p "$out/bills.csv")]"
    [[ "$(sed -n 2p "$out/calls.csv")" == *,1,*0111*,60,* ]] || fail "calls.csv row: [$(sed -n 2p "$out/calls.csv")]"
}

# Without any printer, a bill is still shown (Preview, zoomed) and saved as PDF through the
# platform's save window; the file reads back with the printed bill's lines.
case_output() {
    local pdf=$WORK/bill-1.pdf
    start_sim --user demo --password demo --booths '1'
    console_at 127.0.0.1 "$SIM_PORT" "${PRINT_SETTINGS[@]}"
    press_login
    wait_main_window
    ctl 'dial 1;0111;A;1.00' && ctl 'connect 1' && ctl 'finish 1;60;1.00'
    wait_match $'3\t0111*' "a finished call" 20 booth_rows 1
    bill_of 1 0
    ui click --title Printing --id 1 >/dev/null || fail "no word of the missing printer"
    ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
    wait_match $'1\t*\t1\t*' "bill 1 listed and selected" 20 bills_list

    ui click --title Tellarix --id 1036 >/dev/null || fail "Preview refused"
    ui find --title 'Bill 1 - Preview (100%)' >/dev/null || fail "no preview window"
    ui key --title 'Bill 1 - Preview (100%)' 107 >/dev/null  # + on the keypad
    ui find --title 'Bill 1 - Preview (125%)' >/dev/null || fail "no zoom"
    ui idle --title 'Bill 1 - Preview (125%)' >/dev/null
    tlx_screenshot bill-preview
    ui close --title 'Bill 1 - Preview (125%)' :: wait-gone --title 'Bill 1 - Preview (125%)' >/dev/null

    ui click --title Tellarix --id 1037 >/dev/null || fail "Save as PDF refused"
    ui set-text --title 'Save bill as PDF' --child-class Edit --visible --value "Z:${pdf//\//\\}" \
        :: click --title 'Save bill as PDF' --child-class Button --id 1 >/dev/null || fail "no save window"
    wait_match "Bill 1 is saved as Z:*bill-1.pdf." "the outcome" 30 ui text --title 'Save as PDF' --id 65535
    ui click --title 'Save as PDF' --id 1 >/dev/null
    local lines
    lines=$(pdftotext -layout "$pdf" - | tr -d '\f' | sed 's/^ *//; s/  */ /g; /^$/d' | paste -sd'|')
    [[ "$lines" == "Station Phones|VAT 42|Bill 1|"*"|Tel:0111|"*"|To pay 1.20|Thank you" ]] ||
        fail "the PDF's lines: [$lines]"
    e2e_log "ok: the PDF has the bill's lines"

    # With a printer the preview takes that printer's page, at the zoom chosen before.
    tlx_add_printer "$WORK/printed.ps" || fail "no printer"
    ui click --title Tellarix --id 1036 >/dev/null || fail "Preview refused"
    ui idle --title 'Bill 1 - Preview (125%)' >/dev/null || fail "no preview with a printer"
    tlx_screenshot bill-preview-printer
}

# What became of each print. Under Wine the spooler reports no job status and drops the job
# at EndDoc: a print ends "failed" (no printer) or "sent, not confirmed", never "printed".
# A failed print of the last day is pointed out once after the login; without a printer the
# bill's print fails and says so under the grids; Print again once a printer is added.
case_outcomes() {
    local job=$WORK/printed.ps n
    store "insert into print_outcomes(id_bill, printed_at, outcome) values (8, datetime('now', 'localtime', '-25 hours'), 'failed'), (9, datetime('now', 'localtime', '-1 hour'), 'error')" >/dev/null
    start_sim --user demo --password demo --booths '1'
    console_at 127.0.0.1 "$SIM_PORT" "${PRINT_SETTINGS[@]}"
    press_login
    wait_main_window
    ui text --title Printing --id 65535 --timeout 30 --equals \
        "The last print of bill 9 failed in the last 24 hours. Print it again from the Bills page." \
        >/dev/null || fail "not pointed out: [$(ui text --title Printing --id 65535)]"
    ui click --title Printing --id 1 >/dev/null

    for n in 1 2; do
        ctl "dial 1;011$n;A;1.00" && ctl 'connect 1' && ctl 'finish 1;60;1.00'
        wait_match $'*3\t011'$n'*' "a finished call" 20 booth_rows 1
        bill_of 1 $((n - 1))  # the new call alone
        ui text --title Printing --id 65535 --timeout 30 --equals \
            "Bill $n was not printed: no printer is set up on this computer." >/dev/null ||
            fail "no printer: [$(ui text --title Printing --id 65535)]"
        ui click --title Printing --id 1 >/dev/null
    done
    ui tab-select --title Tellarix --child-class SysTabControl32 3 >/dev/null
    wait_match $'1\t*\t1\t*' "bill 1 listed and selected" 20 bills_list
    wait_match "Last print: *-*-* *:*: failed (no printer is set up on this computer)" \
        "the failure under the grids" 20 ui text --title Tellarix --id 1040
    expect_eq "failed||0" "$(store 'select outcome, printer, job_id from print_outcomes where id_bill=1')" \
        "the failure stored"
    tlx_screenshot bills-print-failed

    tlx_add_printer "$job" || fail "no printer"
    ui click --title Tellarix --id 1028 >/dev/null || fail "Print refused"
    wait_match '*%%EOF*' "bill 1 printed again" 30 cat "$job"
    wait_match "Last print: *-*-* *:* on 'Tellarix Test Printer': sent, not confirmed" \
        "the spooler's last word under the grids" 30 ui text --title Tellarix --id 1040
    expect_eq "sent, not confirmed|Tellarix Test Printer|the job left the queue without a final status" \
        "$(store 'select outcome, printer, reason from print_outcomes where id_bill=1 and job_id>0')" \
        "the print stored as the spooler ended it"
    tlx_screenshot bills-print-not-confirmed  # bill 2 red: its print failed
    ui find --title Printing --timeout 0 >/dev/null && fail "a message for a print the spooler took"
    e2e_log "ok: failed, then sent, not confirmed"
}

case "$CASE" in
    print) case_print ;;
    page) case_page ;;
    no-store) case_no_store ;;
    void) case_void ;;
    changed-store) case_changed_store ;;
    restore) case_restore ;;
    export) case_export ;;
    output) case_output ;;
    outcomes) case_outcomes ;;
    *) fail "unknown case $CASE" ;;
esac
e2e_log "PASS: $CASE"
