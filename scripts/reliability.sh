#!/usr/bin/env bash
# Reliability evidence for the Linux build, each step timed:
#   asan      the whole unit suite with AddressSanitizer + UndefinedBehaviorSanitizer;
#             the fault sweep (label "sweep") samples every SWEEP_STRIDE-th run there, as
#             each of its forks is slow under ASan; the linux step runs it whole
#             (its table: build/reliability/sweep-table.md)
#   tsan      the whole unit suite with ThreadSanitizer, except the fault sweep (label
#             "sweep": single-threaded, one fork per run, nothing for TSan to see)
#   valgrind  memcheck over a representative subset of the linux build's unit tests (one
#             process per test, as ctest runs them), within a time budget
#   fuzz      the libFuzzer targets of tests/fuzz, each for a bounded time, in a clang
#             build of its own (build/fuzz), starting from the corpora kept in the repo
#
#   scripts/reliability.sh              all steps
#   scripts/reliability.sh tsan fuzz    only these
#
# Tunables: FUZZ_SECONDS (per target, default 25), VALGRIND_BUDGET (seconds, default 180),
# JOBS (default 2), SWEEP_STRIDE (default 7).
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

JOBS="${JOBS:-2}"
FUZZ_SECONDS="${FUZZ_SECONDS:-25}"
VALGRIND_BUDGET="${VALGRIND_BUDGET:-180}"
SWEEP_STRIDE="${SWEEP_STRIDE:-7}"
OUT="$ROOT/build/reliability"
FUZZERS=(fuzz_address_format fuzz_registry_text fuzz_log_line fuzz_reg_file)
mkdir -p "$OUT"

step_asan() {
    rm -f "$OUT/sweep-table.txt"
    cmake --preset asan >/dev/null && cmake --build --preset asan -j "$JOBS" || return 1
    local status=0
    ctest --preset asan -j "$JOBS" -LE sweep || status=1
    HALCYON_SWEEP_STRIDE="$SWEEP_STRIDE" HALCYON_SWEEP_TABLE="$OUT/sweep-table.txt" \
        ctest --preset asan -j "$JOBS" -L sweep || status=1
    # The figures of the concurrency tests, for the record.
    ctest --test-dir build/asan -R 'ConcurrencyTest|MultiProcessLogTest' -V 2>/dev/null |
        grep -Eo '(CONCURRENCY|MULTIPROCESS) .*' | tee "$OUT/concurrency.txt"
    if [[ -s "$OUT/sweep-table.txt" ]]; then
        {
            echo "| export                     | backend       | calls | call runs | alloc runs | escaped |"
            sort -t'|' -k3,3 -s "$OUT/sweep-table.txt"
        } >"$OUT/sweep-table.md"
        echo "fault sweep: $(wc -l <"$OUT/sweep-table.txt") rows in $OUT/sweep-table.md"
    fi
    return $status
}

step_tsan() {
    cmake --preset tsan >/dev/null && cmake --build --preset tsan -j "$JOBS" || return 1
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j "$JOBS" -LE sweep
}

# Every test's command line from ctest, so that each runs alone under valgrind as it
# runs alone under ctest. Tests are taken round-robin across the test programs until the
# budget is spent, so each program is represented.
step_valgrind() {
    if [[ ! -d build/linux ]]; then
        cmake --preset linux >/dev/null || return 1
    fi
    cmake --build --preset linux -j "$JOBS" || return 1
    ctest --test-dir build/linux --show-only=json-v1 >"$OUT/linux-tests.json" || return 1
    python3 - "$OUT/linux-tests.json" "$VALGRIND_BUDGET" "$OUT/valgrind" <<'EOF'
import json, os, subprocess, sys, time
from collections import OrderedDict

tests_file, budget, logs = sys.argv[1], float(sys.argv[2]), sys.argv[3]
os.makedirs(logs, exist_ok=True)
by_program = OrderedDict()
for test in json.load(open(tests_file))["tests"]:
    labels = [p["value"] for p in test.get("properties", []) if p["name"] == "LABELS"]
    command = test.get("command")
    # The sweep forks thousands of children; shell-script checks are not ours to probe.
    if not command or any("sweep" in l for l in labels) or not command[0].endswith(("_tests", "_test")):
        continue
    by_program.setdefault(command[0], []).append(test)

queue = []
while any(by_program.values()):
    for program in by_program:
        if by_program[program]:
            queue.append(by_program[program].pop(0))

start, ran, failed = time.time(), 0, []
for test in queue:
    if time.time() - start > budget:
        break
    directory = next((p["value"] for p in test.get("properties", [])
                      if p["name"] == "WORKING_DIRECTORY"), None)
    log = os.path.join(logs, "%04d.log" % ran)
    result = subprocess.run(
        ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
         "--suppressions=" + os.path.join(os.getcwd(), "tests/reliability/valgrind.supp"),
         "--errors-for-leak-kinds=definite", "--log-file=" + log] + test["command"],
        cwd=directory, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ran += 1
    if result.returncode != 0:
        failed.append((test["name"], result.returncode, log))
print("valgrind memcheck: %d of %d tests from %d programs in %.0f s, %d failed"
      % (ran, len(queue), len({t["command"][0] for t in queue}), time.time() - start, len(failed)))
for name, code, log in failed:
    print("  FAILED %s (exit %d, see %s)" % (name, code, log))
sys.exit(1 if failed else 0)
EOF
}

step_fuzz() {
    cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DHALCYON_FUZZ=ON -DHALCYON_WERROR=ON \
        "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer" \
        "-DCMAKE_C_FLAGS=-fsanitize=address,undefined,fuzzer-no-link" \
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
        "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null &&
        cmake --build build/fuzz -j "$JOBS" --target "${FUZZERS[@]}" || return 1
    local status=0
    mkdir -p build/fuzz/artifacts
    for fuzzer in "${FUZZERS[@]}"; do
        # New inputs land in a scratch copy; the repo's corpus is only read.
        local work="build/fuzz/work/$fuzzer"
        mkdir -p "$work"
        local options=()
        # Values left in the simulated registry between inputs look like leaks to
        # LeakSanitizer and would make it scan after every input.
        [[ "$fuzzer" == fuzz_registry_text ]] && options+=(-detect_leaks=0)
        local verdict="passed"
        if ! "build/fuzz/bin/$fuzzer" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
            -artifact_prefix="build/fuzz/artifacts/$fuzzer-" "${options[@]}" \
            "$work" "tests/fuzz/corpus/$fuzzer" >"$OUT/$fuzzer.log" 2>&1; then
            verdict="FAILED (see $OUT/$fuzzer.log)"
            status=1
        fi
        echo "$fuzzer: $(sed -n 's/^stat::number_of_executed_units: *//p' "$OUT/$fuzzer.log") executions," \
            "$(ls "$work" | wc -l) inputs in the work corpus, $verdict"
    done
    return $status
}

STEPS=(asan tsan valgrind fuzz)
selected=("$@")
((${#selected[@]})) || selected=("${STEPS[@]}")
for step in "${selected[@]}"; do
    declare -F "step_$step" >/dev/null || { echo "unknown step: $step (have: ${STEPS[*]})" >&2; exit 2; }
done

failures=0
report=()
for step in "${selected[@]}"; do
    echo "=== reliability: $step"
    start=$SECONDS
    "step_$step"
    status=$?
    ((status == 0)) || failures=$((failures + 1))
    report+=("$(printf '%-9s exit %d, %4ds' "$step" "$status" $((SECONDS - start)))")
done
echo "=== reliability summary"
printf '%s\n' "${report[@]}" | tee "$OUT/summary"
[[ -f "$OUT/sweep-table.md" ]] && cat "$OUT/sweep-table.md"
((failures == 0))
