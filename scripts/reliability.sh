#!/usr/bin/env bash
# Reliability evidence for the Linux build, one step per argument:
#   asan      the unit tests with AddressSanitizer + UndefinedBehaviorSanitizer (preset
#             asan: -O1, no benchmarks); the fault sweep (label "sweep") samples every
#             SWEEP_STRIDE-th run there, as each of its forks is slow under ASan; the
#             linux preset runs it whole
#   tsan      the test programs that start threads, with ThreadSanitizer (preset tsan)
#   valgrind  memcheck over a subset of the linux build's unit tests (one process per test,
#             as ctest runs them), taken round-robin across the test programs until
#             VALGRIND_BUDGET seconds are spent, JOBS at a time; builds build/linux if needed
#   fuzz      each libFuzzer target of tests/fuzz for FUZZ_SECONDS, JOBS at a time, in a
#             clang build of its own (build/fuzz), from the corpora kept in the repo
#
#   scripts/reliability.sh              all steps
#   scripts/reliability.sh tsan fuzz    only these
#
# Tunables: FUZZ_SECONDS (default 20), VALGRIND_BUDGET (default 75), JOBS (default 2),
# SWEEP_STRIDE (default 7).
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

JOBS="${JOBS:-2}"
FUZZ_SECONDS="${FUZZ_SECONDS:-20}"
VALGRIND_BUDGET="${VALGRIND_BUDGET:-75}"
SWEEP_STRIDE="${SWEEP_STRIDE:-7}"
OUT="$ROOT/build/reliability"
FUZZERS=(fuzz_session_answers fuzz_registry_text fuzz_log_line fuzz_reg_file)
# The test programs whose tests start threads: the only ones ThreadSanitizer has to see.
TSAN_PROGRAMS=(reliability_tests ssolog_tests sessionctrl_tests)
mkdir -p "$OUT"

step_asan() {
    cmake --preset asan >/dev/null && cmake --build --preset asan -j "$JOBS" || return 1
    local status=0
    ctest --preset asan -j "$JOBS" -LE sweep || status=1
    HALCYON_SWEEP_STRIDE="$SWEEP_STRIDE" ctest --preset asan -j "$JOBS" -L sweep || status=1
    return $status
}

step_tsan() {
    cmake --preset tsan >/dev/null && cmake --build --preset tsan -j "$JOBS" --target "${TSAN_PROGRAMS[@]}" || return 1
    # Programs not built here leave a "<program>_NOT_BUILT" placeholder test.
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j "$JOBS" -LE sweep -E '_NOT_BUILT$'
}

step_valgrind() {
    if [[ ! -f build/linux/build.ninja ]]; then
        cmake --preset linux >/dev/null || return 1
    fi
    cmake --build --preset linux -j "$JOBS" || return 1
    ctest --test-dir build/linux --show-only=json-v1 >"$OUT/linux-tests.json" || return 1
    python3 - "$OUT/linux-tests.json" "$VALGRIND_BUDGET" "$JOBS" "$OUT/valgrind" <<'EOF'
import json, os, subprocess, sys, time
from concurrent.futures import ThreadPoolExecutor

tests_file, budget, jobs, logs = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
os.makedirs(logs, exist_ok=True)
by_program = {}
for test in json.load(open(tests_file))["tests"]:
    labels = [p["value"] for p in test.get("properties", []) if p["name"] == "LABELS"]
    command = test.get("command")
    # The sweep forks thousands of children; it is the sanitizers' and the plain build's.
    if command and not any("sweep" in l for l in labels) and command[0].endswith(("_tests", "_test")):
        by_program.setdefault(command[0], []).append(test)
queue = []
while any(by_program.values()):
    queue += [tests.pop(0) for tests in by_program.values() if tests]

start = time.time()
def run(numbered):
    number, test = numbered
    if time.time() - start > budget:
        return None
    directory = next((p["value"] for p in test.get("properties", []) if p["name"] == "WORKING_DIRECTORY"), None)
    log = os.path.join(logs, "%04d.log" % number)
    code = subprocess.run(
        ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
         "--suppressions=" + os.path.join(os.getcwd(), "tests/reliability/valgrind.supp"),
         "--errors-for-leak-kinds=definite", "--log-file=" + log] + test["command"],
        cwd=directory, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    return test["name"], code, log

with ThreadPoolExecutor(jobs) as pool:
    results = [r for r in pool.map(run, enumerate(queue)) if r is not None]
failed = [r for r in results if r[1] != 0]
print("valgrind memcheck: %d of %d tests from %d programs in %.0f s, %d failed"
      % (len(results), len(queue), len({t["command"][0] for t in queue}), time.time() - start, len(failed)))
for name, code, log in failed:
    print("  FAILED %s (exit %d, see %s)" % (name, code, log))
sys.exit(1 if failed or not results else 0)
EOF
}

fuzz_one() {
    local fuzzer="$1" work="build/fuzz/work/$1" options=()
    mkdir -p "$work" build/fuzz/artifacts
    # What the simulated machine keeps between inputs (registry values, the call log) looks
    # like leaks to LeakSanitizer and would make it scan after every input; these targets
    # count the machine's handles, keys and buffers themselves.
    [[ "$fuzzer" == fuzz_registry_text || "$fuzzer" == fuzz_session_answers ]] && options+=(-detect_leaks=0)
    # New inputs land in a scratch corpus; the repo's corpus is only read.
    if "build/fuzz/bin/$fuzzer" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$fuzzer-" "${options[@]}" \
        "$work" "tests/fuzz/corpus/$fuzzer" >"$OUT/$fuzzer.log" 2>&1; then
        echo "$fuzzer: $(sed -n 's/^stat::number_of_executed_units: *//p' "$OUT/$fuzzer.log") executions, passed"
    else
        echo "$fuzzer: FAILED (see $OUT/$fuzzer.log)"
        return 1
    fi
}

step_fuzz() {
    cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DHALCYON_FUZZ=ON -DHALCYON_WERROR=ON \
        "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer" \
        "-DCMAKE_C_FLAGS=-fsanitize=address,undefined,fuzzer-no-link" \
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
        "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null &&
        cmake --build build/fuzz -j "$JOBS" --target "${FUZZERS[@]}" || return 1
    export -f fuzz_one && export FUZZ_SECONDS OUT
    printf '%s\n' "${FUZZERS[@]}" | xargs -P "$JOBS" -I{} bash -c 'fuzz_one {}'
}

STEPS=(asan tsan valgrind fuzz)
selected=("$@")
((${#selected[@]})) || selected=("${STEPS[@]}")
for step in "${selected[@]}"; do
    declare -F "step_$step" >/dev/null || { echo "unknown step: $step (have: ${STEPS[*]})" >&2; exit 2; }
done

failures=0
for step in "${selected[@]}"; do
    echo "=== reliability: $step"
    "step_$step" || failures=$((failures + 1))
done
((failures == 0))
