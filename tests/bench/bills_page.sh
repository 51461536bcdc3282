#!/bin/bash
# The bills page with 1,000 and with 1,000,000 bills (three calls each) in bills.mdb, under
# Wine: the refresh after a new bill, a bill's calls, the jump to the last row, the memory, and
# each figure's ratio 1,000,000 / 1,000. Figures only. Uses build/native and build/windows.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
export TLX_SUITE_LIMIT=${TLX_SUITE_LIMIT:-900}
source "$ROOT/scripts/wine/lib.sh"
FILL=$ROOT/build/native/tests/bench/billing/billing_bench
BENCH=${TLX_BILLSBENCH_EXE:-$ROOT/build/windows/tests/bench/console_ui/tlx-billsbench.exe}
source "$ROOT/tests/bench/stall.sh"
tlx_wine_up || exit 1
stall_probe_start bills
declare -A LINE
for n in 1000 1000000; do
    dir=$TLX_SESSION_DIR/store-$n
    mkdir -p "$dir"
    "$FILL" fill "$dir/bills.mdb" "$n" || exit 1
    out=$(tlx_wine -t 600 -C "$dir" "$BENCH")
    LINE[$n]=$(grep '^bills' <<<"$out") || { echo "bench failed for $n"; exit 1; }
    echo "${LINE[$n]}"
    if [ "$n" = 1000000 ]; then
        # shellcheck disable=SC2046
        stall_of "bill print" $(awk '/^counters/ { print $2, $3 }' <<<"$out")
        # shellcheck disable=SC2046
        stall_of "bills refresh at a million" $(awk '/^counters/ { print $2, $4 }' <<<"$out")
    fi
    rm -rf "$dir"
done
python3 - "${LINE[1000]}" "${LINE[1000000]}" <<'PY'
import re, sys
small, big = ([float(x) for x in re.findall(r"([0-9.]+) (?:ms|MB)", line)] for line in sys.argv[1:])
names = ["refresh after a new bill", "a bill's calls", "jump to the last row"]
print("ratio 1,000,000 / 1,000: " + ", ".join(f"{n} {b / s:.2f}" for n, s, b in zip(names, small, big))
      + f"; memory growth {big[3] - small[3]:.1f} MB")
PY
echo "goal: refresh after a new bill, a bill's calls, jump to the last row each <= 16 ms at 1,000,000 bills"
