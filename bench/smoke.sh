#!/bin/bash
# Runs every benchmark briefly so that none can rot: exits non-zero only when a
# benchmark executable is missing or crashes. Timings are printed, never judged.
#   bench/smoke.sh [build directory]     (default: build/linux)
set -u
build="${1:-$(dirname "$0")/../build/linux}"
benchmarks=(bench_log bench_exports bench_vmware)
status=0
for name in "${benchmarks[@]}"; do
  exe="$build/bin/$name"
  if [ ! -x "$exe" ]; then
    echo "smoke: $exe is missing" >&2
    status=1
    continue
  fi
  echo "smoke: $name"
  if ! "$exe" --benchmark_min_time=0.01; then
    echo "smoke: $name crashed or failed" >&2
    status=1
  fi
done
exit $status
