#!/usr/bin/env bash
# The one test command: installs what is missing, builds every tree and runs every test.
#   native   core unit tests, simulator tests
#   asan     the same unit tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   fuzz     libFuzzer targets (clang), each run briefly
#   windows  Tellarix.exe / Tellarix.dll and the Windows-side tests under Wine
#   then the console benchmarks, which print their figures
# Every tree is built and tested even when an earlier one fails; the exit code is non-zero
# when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TELLARIX_JOBS:-$(nproc)}

./scripts/deps.sh || { echo "dependency installation failed"; exit 1; }

declare -A result
total_pass=0
total_fail=0
failed_trees=()

run_tree() {
    local preset=$1 log="build/logs/$1.log"
    mkdir -p build/logs
    echo "=== $preset: configure and build"
    if ! cmake --preset "$preset" >"build/logs/$preset-configure.log" 2>&1; then
        tail -40 "build/logs/$preset-configure.log"
        result[$preset]="configure failed"; failed_trees+=("$preset"); total_fail=$((total_fail + 1))
        return
    fi
    if ! cmake --build --preset "$preset" -j "$jobs" >"build/logs/$preset-build.log" 2>&1; then
        grep -E "error|Error" "build/logs/$preset-build.log" | head -40
        result[$preset]="build failed"; failed_trees+=("$preset"); total_fail=$((total_fail + 1))
        return
    fi
    echo "=== $preset: test"
    local tj=$jobs
    ctest --preset "$preset" -j "$tj" --timeout 900 2>&1 | tee "$log" | grep -vE '^ +Start|Test +#' || true
    local summary pass fail
    summary=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$log" | tail -1)
    if [ -z "$summary" ]; then
        if grep -q "No tests were found" "$log"; then
            result[$preset]="no tests"; return
        fi
        result[$preset]="ctest did not finish"; failed_trees+=("$preset"); total_fail=$((total_fail + 1))
        return
    fi
    fail=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
    all=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
    pass=$((all - fail))
    total_pass=$((total_pass + pass)); total_fail=$((total_fail + fail))
    result[$preset]="$pass passed, $fail failed"
    [ "$fail" -eq 0 ] || failed_trees+=("$preset")
}

# Every Wine process still running (the harness ends each test's own; this is the last word).
# A zombie (state Z) has ended and holds nothing; it only waits for a parent that reaps it,
# which a container's first process may never do, so it is not counted as left behind.
wine_left() {
    ps -eo pid=,stat=,args= | awk '$2 !~ /^Z/ && $3 != "awk" && /wineserver|wine64|\.exe( |$)/' || true
}

start=$(date +%s)
for preset in native asan fuzz windows; do
    run_tree "$preset"
done
left=$(wine_left)
echo "=== Wine processes left after the windows tests: ${left:-none}"
if [ -n "$left" ]; then
    result[wine-left]="processes left"; failed_trees+=("wine-left"); total_fail=$((total_fail + 1))
else
    result[wine-left]="none left"
fi

# Benchmarks print their figures; they count as failed only when they cannot run or when
# the flood loses an event, never for their speed.
if [ "${result[windows]:-}" != "build failed" ] && [ -x build/native/sim/callshop-sim ]; then
    for b in console_flood console_startup console_idle billing bills_page; do
        echo "=== benchmark $b"
        if bash "tests/bench/$b.sh" >"build/logs/bench-$b.log" 2>&1; then
            grep -vE '^\[(wine|e2e)\]' "build/logs/bench-$b.log"
            result[bench-$b]="ran"; total_pass=$((total_pass + 1))
        else
            tail -20 "build/logs/bench-$b.log"
            result[bench-$b]="failed"; failed_trees+=("bench-$b"); total_fail=$((total_fail + 1))
        fi
    done
fi

echo
echo "=== summary ($(( $(date +%s) - start )) s)"
for preset in native asan fuzz windows wine-left bench-console_flood bench-console_startup bench-console_idle bench-billing bench-bills_page; do
    printf '  %-8s %s\n' "$preset" "${result[$preset]:-not run}"
done
[ -d build/artifacts ] && echo "  artifacts (screenshots): $root/build/artifacts"
echo "$total_pass passed, $total_fail failed"
[ ${#failed_trees[@]} -eq 0 ]
