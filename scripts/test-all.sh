#!/usr/bin/env bash
# Every test of the project: set-up, then one step per preset workflow (configure, build,
# ctest). Each step's output goes to the terminal and to build/test-all/<step>.log; the
# ctest results of all steps are summed into build/test-all/summary.
#
#   scripts/test-all.sh              all steps, in order
#   scripts/test-all.sh linux mingw64  only these steps
#
# To add a step: add its name to STEPS and its command to STEP_COMMAND. A step passes
# when its command exits 0; its ctest summary lines ("... tests failed out of N") are
# counted, and a failing step without any counts as one failure.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

STEPS=(linux mingw32 mingw64)
declare -A STEP_COMMAND=(
    [linux]="cmake --workflow --preset linux"
    [mingw32]="cmake --workflow --preset mingw32"
    [mingw64]="cmake --workflow --preset mingw64"
)
STEPS+=(reliability) && STEP_COMMAND[reliability]="bash scripts/reliability.sh"  # sanitizers, valgrind, fuzzing

selected=("$@")
((${#selected[@]})) || selected=("${STEPS[@]}")
for step in "${selected[@]}"; do
    [[ -n "${STEP_COMMAND[$step]+set}" ]] || { echo "unknown step: $step (have: ${STEPS[*]})" >&2; exit 2; }
done

LOGS="$ROOT/build/test-all"
mkdir -p "$LOGS"
rm -f "$LOGS/summary"

if ! bash scripts/setup.sh; then
    echo "0 passed, 1 failed" | tee "$LOGS/summary"
    exit 1
fi
total_passed=0
total_failed=0
report=()

for step in "${selected[@]}"; do
    log="$LOGS/$step.log"
    echo "=== $step: ${STEP_COMMAND[$step]}"
    start=$SECONDS
    bash -c "${STEP_COMMAND[$step]}" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    # ctest: "95% tests passed, 2 tests failed out of 40"
    read -r passed failed < <(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" |
        awk '{ failed += $1; passed += $2 - $1 } END { print passed + 0, failed + 0 }')
    if ((status != 0 && failed == 0)); then
        failed=1
        echo "=== $step failed before its tests could report (exit $status)"
    fi
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    report+=("$(printf '%-10s %4d passed, %4d failed, exit %d, %ds' "$step" "$passed" "$failed" "$status" $((SECONDS - start)))")
done

echo "=== summary"
printf '%s\n' "${report[@]}" | tee "$LOGS/summary"
echo "$total_passed passed, $total_failed failed" | tee -a "$LOGS/summary"
((total_failed == 0))
