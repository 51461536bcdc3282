# The stall probe (tlx-stallprobe.exe) of the benchmarks, in a Wine session (scripts/wine/lib.sh).
: "${TLX_STALLPROBE_EXE:=$ROOT/build/windows/tests/bench/console_ui/tlx-stallprobe.exe}"
# In the background on the top-level window titled $1; what it measures lands in PROBE_LOG.
stall_probe_start() {
    tlx_wine_bg "$TLX_STALLPROBE_EXE" "$1"
    PROBE_LOG=$TLX_LAST_LOG
}
# `longest stall, PHASE: N ms`: the longest wait of a probe overlapping counter times T0..T1.
stall_of() {  # phase t0 t1
    tr -d '\r' <"$PROBE_LOG" | awk -v p="$1" -v a="$2" -v b="$3" '$1 == "probe" &&
        $2 + $3 / 1000 >= a + 0 && $2 <= b + 0 && $3 + 0 > m { m = $3 + 0 }
        END { printf "longest stall, %s: %d ms\n", p, m }'
}
