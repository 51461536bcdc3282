#!/bin/bash
# A shop's life with the package in a fresh Wine prefix: install for this user, the console from
# its Start-menu shortcut bills a call, upgrade, removal, the portable zip's script, reinstall.
set -u
source "$(dirname "$0")/../console/lib.sh"
tlx_wine_up || fail "Wine session did not start"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"  # no menu entries on this host
mkdir -p "${WORK:=$TLX_SESSION_DIR/work}" && SIM_PIDS=()
trap 'e2e_teardown || exit 1' EXIT
PROFILE=$WINEPREFIX/drive_c/users/$(id -un)
SHOP=$PROFILE/AppData/Local/Programs/Tellarix
SHOP_WIN='C:\users\'"$(id -un)"'\AppData\Local\Programs\Tellarix\'
SHORTCUT="$PROFILE/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tellarix.lnk"

msiexec() { tlx_wine -t 180 msiexec "${@:2}" /qn >&2 || fail "$1 failed"; e2e_log "ok: $1"; }
# What lies below a registry key, a sorted line per key and value, paths relative to it and lower-
# cased; no 32-bit view, no shared parents (CLSID, ...), which unregistering leaves; FOLDER: <folder>.
entries() {  # key [folder]
    tlx_wine reg query "$1" /s | FOLDER=${2:-} awk -F'    ' '
    /^HKEY/ {top = top ? top : $0; key = tolower(substr($0, length(top) + 2))}
    key == "" || key ~ /wow6432node/ {next}
    /^HKEY/ && key ~ /\\/ {print key}
    /^    / {f = ENVIRON["FOLDER"]; i = f == "" ? 0 : index(tolower($4), tolower(f))
        print key "|" $2 "=" (i ? substr($4, 1, i - 1) "<folder>" substr($4, i + length(f)) : $4)}
    ' | sort -u
}
same() {  # what, file of the expected lines, command printing the lines...
    diff "$2" <("${@:3}") >"$WORK/diff" && e2e_log "ok: $1" || fail "$1: $(head -c2k "$WORK/diff")"; }
store() { python3 -c 'import sqlite3, sys
for row in sqlite3.connect(sys.argv[1]).execute("select * from bills"): print(*row, sep="|")' "$SHOP/bills.mdb"; }
kept() {  # after what
    expect_eq "$BILL" "$(store)" "the bill after $1"
    cmp "$WORK/Tellarix.ini" "$SHOP/Tellarix.ini" || fail "the settings changed by $1"
}

tlx_wine reg add 'HKCU\Software\Classes' /f >/dev/null  # as on Windows; a fresh prefix has none
msiexec "install" /i "$(tlx_winpath "$TLX_MSI")"
entries 'HKCU\Software\Classes' "$SHOP_WIN" >"$WORK/registered"
grep -qx 'clsid\\{.*}\\inprocserver32|(Default)=<folder>Tellarix.dll' "$WORK/registered" ||
    fail "the booth control is not registered at the installed library: $(cat "$WORK/registered")"

# Windows reads the user's classes through HKEY_CLASSES_ROOT, Wine 8 does not: for the
# console's run they are copied into the machine's, and unregistering takes them away again.
tlx_wine reg copy 'HKCU\Software\Classes' 'HKLM\Software\Classes' /s /f >/dev/null ||
    fail "cannot copy the user's classes"
tlx_add_printer "$WORK/printed.ps" || fail "no printer"
ui_serve  # Wine's helpers are up by now: they do not get the driver's pipes
start_sim --user demo --password demo --booths '3,7'
write_ini '[NETWORK]' 'SERVER_IP=127.0.0.1' "SERVER_PORT=$SIM_PORT" 'USERNAME=demo' \
    'PASSWORD=demo' '[ALIASES]' '7=Window booth' '[MISC]' 'TAX=20'
tlx_wine_bg start /unix "$SHORTCUT"
wait_status "Please enter your Login and Password..." 60
press_login
wait_main_window
ctl $'dial 7;0044123;UK fixed;1.20\nconnect 7\nfinish 7;125;2.5'
wait_match $'3\t0044123\t00:02:05\t2.50\t*' "a finished call in the booth" 20 booth_rows "Window booth"
booth=$(booth_hwnd "Window booth")
ui list-select --hwnd "$booth" --child-class SysListView32 0 >/dev/null || fail "row not selected"
ui click --hwnd "$booth" --child-text Print >/dev/null || fail "no Print button"
wait_match '1|*|Window booth|2.5|0.5|3.0' "the bill is stored" 20 store
wait_match '*%%EOF*' "the bill is printed" 30 cat "$WORK/printed.ps"
ui close --title Tellarix >/dev/null
console_ends "closing the main window"
tlx_wine regsvr32 /u /s "${SHOP_WIN}Tellarix.dll" || fail "the copied classes stay"
BILL=$(store)
cp "$SHOP/Tellarix.ini" "$WORK/Tellarix.ini"

msiexec "upgrade" /i "$(tlx_winpath "$TLX_UPGRADE_MSI")"
kept "the upgrade"
same "the registration after the upgrade" "$WORK/registered" \
    entries 'HKCU\Software\Classes' "$SHOP_WIN"
msiexec "removal" /x "$(tlx_winpath "$TLX_UPGRADE_MSI")"
kept "removal"
same "no registration left" /dev/null entries 'HKCU\Software\Classes'
expect_eq "Backups Tellarix.ini bills.mdb" "$(LC_ALL=C ls "$SHOP" | paste -sd' ')" "only the shop's data left (its backups too)"
[ -e "$SHORTCUT" ] && fail "the shortcut is left"

# The portable zip's script registers the control as the package does.
entries 'HKLM\Software\Classes' >"$WORK/machine-classes"
(cd "$WINEPREFIX/drive_c" && cmake -E tar xf "$TLX_PORTABLE_ZIP") || fail "cannot unzip"
tlx_wine cmd /c 'C:\Tellarix\register.cmd' /s || fail "register.cmd failed ($?)"
same "the package registers as the control itself does" "$WORK/registered" \
    comm -13 "$WORK/machine-classes" <(entries 'HKLM\Software\Classes' 'C:\Tellarix\')
tlx_wine cmd /c 'C:\Tellarix\register.cmd' /u /s || fail "register.cmd /u failed ($?): $(entries 'HKLM\Software\Classes' 'C:\Tellarix\' | comm -13 "$WORK/machine-classes" - | head -5)"
same "register.cmd /u" "$WORK/machine-classes" entries 'HKLM\Software\Classes'

msiexec "reinstall" /i "$(tlx_winpath "$TLX_MSI")"
kept "the reinstall"
