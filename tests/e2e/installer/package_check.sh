#!/bin/bash
# The package's tables: no code of its own (self-registration, custom action, binary), only the
# user's hive, no elevation, 64-bit (so the classes land in the view the console reads).
set -u
rows() { msiinfo export "$1" "$2" 2>/dev/null | tail -n +4; }
fail() { echo "FAIL: $*" >&2; exit 1; }
for t in SelfReg CustomAction Binary; do [ -z "$(rows "$1" $t)" ] || fail "rows in $t"; done
rows "$1" Registry | awk -F'\t' '$2 != 1' | grep . && fail "registry rows outside HKEY_CURRENT_USER"
msiinfo suminfo "$1" | grep -qx 'Template: x64;1033' || fail "not a 64-bit package"
(($(msiinfo suminfo "$1" | sed -n 's/^Source: \([0-9]*\).*/\1/p') & 8)) || fail "asks for elevation"
