#!/bin/bash
# NewBill for a 20-call bill (compose, durable store, sealed or not, layout): natively, then
# under Wine; the X figures of 100,000 bills after a day close, natively and under Wine; then the upgrade, chain check and checked backup of a store of a million bills and
# the CSV export of 100,000 of them, natively.
# Figures only. Uses build/native and build/windows.
#   billing.sh [BILLS] [CHAIN_BILLS]
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BILLS=${1:-500}
CHAIN_BILLS=${2:-1000000}
"$ROOT/build/native/tests/bench/billing/billing_bench" "$BILLS" | sed 's/^/native:  /' || exit 1
TLX_SUITE_LIMIT=600 "$ROOT/scripts/wine/run-test.sh" \
    "$ROOT/build/windows/tests/bench/billing/billing_bench.exe" "$BILLS" 2>/dev/null | tr -d '\r' |
    grep '^NewBill' | sed 's/^/Wine:    /' || exit 1
# Closing the day: the X figures of 100,000 bills after a close (a range of ids, not a scan).
"$ROOT/build/native/tests/bench/billing/billing_bench" dayclose | sed 's/^/native:  /' || exit 1
TLX_SUITE_LIMIT=600 "$ROOT/scripts/wine/run-test.sh" \
    "$ROOT/build/windows/tests/bench/billing/billing_bench.exe" dayclose 2>/dev/null | tr -d '\r' |
    grep -E '^(X report|Z close)' | sed 's/^/Wine:    /' || exit 1
echo "goal:    X report over 100,000 bills <= 50 ms natively, <= 150 ms under Wine"
"$ROOT/build/native/tests/bench/billing/billing_bench" verify "$CHAIN_BILLS" | sed 's/^/native:  /'
