#!/bin/bash
# NewBill for a 20-call bill (compose, durable store, layout): natively, then under Wine.
# Figures only. Uses build/native and build/windows.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BILLS=${1:-500}
printf 'native:  '
"$ROOT/build/native/tests/bench/billing/billing_bench" "$BILLS" || exit 1
printf 'Wine:    '
TLX_SUITE_LIMIT=600 "$ROOT/scripts/wine/run-test.sh" \
    "$ROOT/build/windows/tests/bench/billing/billing_bench.exe" "$BILLS" 2>/dev/null | tr -d '\r' |
    grep '^NewBill' || exit 1
