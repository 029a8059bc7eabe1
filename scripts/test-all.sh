#!/usr/bin/env bash
# Every test of the project: set-up, then one step per preset workflow (configure, build,
# ctest) and per reliability check (scripts/reliability.sh). Each step's output goes to
# build/test-all/<step>.log; the ctest results of all steps are summed into
# build/test-all/summary, with each step's wall time and CPU time (user + system), and the
# tests ctest skipped, each with the reason it printed ("skipped: ...").
#
#   scripts/test-all.sh                all steps, in the two lanes of LANES side by side
#   scripts/test-all.sh linux mingw64  only these, one after the other
#
# To add a step: add its name to a lane and its command to STEP_COMMAND. A step passes
# when its command exits 0; its ctest summary lines ("... tests failed out of N") are
# counted (a skipped test is not a passed one), and a failing step without any counts as one
# failure.
#
# The lanes keep both cores busy: the second holds what mostly runs one process at a time
# (the Wine tests, the fuzzers), so the first lane's builds and tests get what it leaves.
# The first lane's output is shown as it comes; the second's is in its logs, and the end
# of a failing step's log is shown after the lanes are done.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

declare -A STEP_COMMAND=(
    [linux]="cmake --workflow --preset linux"
    [mingw32]="cmake --workflow --preset mingw32"
    [mingw64]="cmake --workflow --preset mingw64"
    [msvc-abi32]="cmake --workflow --preset msvc-abi32"
    [msvc-abi64]="cmake --workflow --preset msvc-abi64"
    [asan]="bash scripts/reliability.sh asan"
    [tsan]="bash scripts/reliability.sh tsan"
    [valgrind]="bash scripts/reliability.sh valgrind"  # memcheck on the linux step's build
    [fuzz]="bash scripts/reliability.sh fuzz"
)
LANES=("linux asan valgrind msvc-abi64" "mingw32 mingw64 msvc-abi32 tsan fuzz")
# The workflows' builds and tests, two at a time (ninja would start four, ctest one).
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}" CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-2}"

for step in "$@"; do
    [[ -n "${STEP_COMMAND[$step]+set}" ]] || { echo "unknown step: $step (have: ${!STEP_COMMAND[*]})" >&2; exit 2; }
done

LOGS="$ROOT/build/test-all"
mkdir -p "$LOGS"
rm -f "$LOGS/summary" "$LOGS"/*.result "$LOGS"/*.skipped

if ! bash scripts/setup.sh; then
    echo "0 passed, 1 failed, 0 skipped" | tee "$LOGS/summary"
    exit 1
fi

# run_step STEP SHOW: runs the step (its output on the terminal too when SHOW is 1) and
# leaves "passed failed skipped exit wall user system" in build/test-all/STEP.result and
# "STEP TEST: reason" lines in build/test-all/STEP.skipped.
run_step() {
    local step="$1" show="$2" log="$LOGS/$1.log"
    ((show)) && echo "=== $step: ${STEP_COMMAND[$step]}"
    : >"$log"
    (TIMEFORMAT="%R %U %S" && time bash -c "${STEP_COMMAND[$step]}" >>"$log" 2>&1) 2>"$LOGS/$step.time" &
    local runner=$!
    ((show)) && tail -n +1 --pid=$runner -f "$log"
    wait $runner
    local status=$?
    # ctest: "95% tests passed, 2 tests failed out of 40"
    local passed failed
    read -r passed failed < <(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" |
        awk '{ failed += $1; passed += $2 - $1 } END { print passed + 0, failed + 0 }')
    ((status != 0 && failed == 0)) && failed=1
    # ctest lists them after its summary: "	  4 - wine.plain (Skipped)"; the reason is in
    # the test's output, kept in the ctest log of the step's build.
    local test skipped=0
    for test in $(sed -nE 's/^\s+[0-9]+ - (\S+) \(Skipped\)$/\1/p' "$log"); do
        skipped=$((skipped + 1))
        echo "$step $test: $(awk -v test="$test" '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
            name == test && sub(/^skipped: /, "") { print; exit }' "build/$step/Testing/Temporary/LastTest.log" 2>/dev/null)"
    done >"$LOGS/$step.skipped"
    echo "$((passed - skipped)) $failed $skipped $status $(tail -n 1 "$LOGS/$step.time")" >"$LOGS/$step.result"
}

run_lane() {
    local show="$1" step
    for step in $2; do run_step "$step" "$show"; done
}

if (($#)); then
    order=("$@")
    run_lane 1 "$*"
else
    order=(${LANES[0]} ${LANES[1]})
    run_lane 0 "${LANES[1]}" &
    second=$!
    run_lane 1 "${LANES[0]}"
    wait $second
fi

total_passed=0
total_failed=0
total_skipped=0
total_cpu=0
report=()
for step in "${order[@]}"; do
    read -r passed failed skipped status wall user system <"$LOGS/$step.result"
    if ((status != 0)); then
        echo "=== $step failed (exit $status); the end of $LOGS/$step.log:"
        tail -n 40 "$LOGS/$step.log"
    fi
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", u + s }')
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    total_skipped=$((total_skipped + skipped))
    total_cpu=$((total_cpu + cpu))
    report+=("$(printf '%-9s %4d passed, %4d failed, %3d skipped, exit %3d, %4.0f s, CPU %4d s' \
        "$step" "$passed" "$failed" "$skipped" "$status" "$wall" "$cpu")")
done

# Only a machine that cannot run 32-bit programs skips tests (the product's under Wine).
if ((total_skipped)) && wine32="$(bash scripts/lib/wine32.sh)"; then
    echo "=== $total_skipped skipped though $wine32 They count as failed."
    total_failed=$((total_failed + total_skipped))
fi
echo "=== summary"
printf '%s\n' "${report[@]}" "CPU of all steps: $total_cpu s" | tee "$LOGS/summary"
for step in "${order[@]}"; do sed 's/^/skipped: /' "$LOGS/$step.skipped"; done | tee -a "$LOGS/summary"
echo "$total_passed passed, $total_failed failed, $total_skipped skipped" | tee -a "$LOGS/summary"
((total_failed == 0))
