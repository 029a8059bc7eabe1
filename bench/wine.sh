#!/bin/bash
# Builds the log benchmark for Windows (x86_64, MinGW-w64) and runs it under Wine.
#   bench/wine.sh [work directory] [benchmark arguments...]   (default: /tmp/halcyon-wine-bench)
# Google Benchmark for the target is built once from Debian's source package (the
# same version as the libbenchmark-dev of the Linux build) into <work>/gbench.
set -eu
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-/tmp/halcyon-wine-bench}"
shift || true
toolchain="$source_dir/bench/toolchain-mingw64-posix.cmake"
prefix="$work/gbench"
mkdir -p "$work"

if [ ! -f "$prefix/lib/cmake/benchmark/benchmarkConfig.cmake" ]; then
  version="$(dpkg-query -W -f='${source:Upstream-Version}' libbenchmark-dev)"
  if [ ! -d "$work/benchmark-$version" ]; then
    # Debian's source package, fetched with apt through a private source list.
    lists="$work/apt-lists"
    mkdir -p "$lists/partial"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$work/src.sources"
    apt_opts=(-o "Dir::Etc::sourcelist=$work/src.sources" -o "Dir::Etc::sourceparts=/nonexistent"
              -o "Dir::State::Lists=$lists")
    apt-get "${apt_opts[@]}" update >/dev/null
    (cd "$work" && apt-get "${apt_opts[@]}" source --download-only benchmark >/dev/null)
    tar -xzf "$work"/benchmark_"$version".orig.tar.gz -C "$work"
  fi
  cmake -S "$work/benchmark-$version" -B "$work/gbench-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DCMAKE_INSTALL_PREFIX="$prefix"
  cmake --build "$work/gbench-build" -j2
  cmake --install "$work/gbench-build" >/dev/null
fi

cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DHALCYON_WERROR=ON -DHALCYON_TESTS=OFF -DHALCYON_BENCH=ON \
  -DHALCYON_BENCHMARK_PREFIX="$prefix" >/dev/null
cmake --build "$work/build" -j2 --target bench_log
WINEDEBUG=-all wine "$work/build/bin/bench_log.exe" "$@"
