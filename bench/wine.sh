#!/bin/bash
# Builds the log benchmark for Windows with MinGW-w64 and runs it under Wine, in a 64-bit
# prefix of the work directory: first the product's i686 build (a WOW64 process), then the
# x86_64 build; after each, the processes sharing one log (wine_writers.sh) with that
# build's DLL and the Wine tests' host.
#   bench/wine.sh [work directory] [benchmark arguments...]   (default: /tmp/halcyon-wine-bench)
# Google Benchmark for each target is built once from Debian's source package (the same
# version as the libbenchmark-dev of the Linux build) into <work>/gbench-<bits>.
set -eu
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-/tmp/halcyon-wine-bench}"
shift || true
mkdir -p "$work"
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

export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="$work/wine-prefix"
# 64-bit programs go through the 64-bit loader: Debian's `wine` starts the 32-bit one first.
[ -d "$WINEPREFIX" ] || wine64 wineboot -i >/dev/null 2>&1
builds="32 64"
if ! can_run_32="$(bash "$source_dir/scripts/lib/wine32.sh")"; then
  echo "=== mingw32 not run: $can_run_32"
  builds=64
fi

for bits in $builds; do
  export WINE=wine
  [ "$bits" = 64 ] && WINE=wine64
  toolchain="$source_dir/bench/toolchain-mingw$bits-posix.cmake"
  prefix="$work/gbench-$bits"
  if [ ! -f "$prefix/lib/cmake/benchmark/benchmarkConfig.cmake" ]; then
    cmake -S "$work/benchmark-$version" -B "$work/gbench-build-$bits" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DCMAKE_INSTALL_PREFIX="$prefix"
    cmake --build "$work/gbench-build-$bits" -j2
    cmake --install "$work/gbench-build-$bits" >/dev/null
  fi
  cmake -S "$source_dir" -B "$work/build-$bits" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DHALCYON_WERROR=ON -DHALCYON_TESTS=OFF -DHALCYON_BENCH=ON \
    -DHALCYON_BENCHMARK_PREFIX="$prefix" >/dev/null
  cmake --build "$work/build-$bits" -j2 --target bench_log
  echo "=== bench_log.exe, mingw$bits"
  "$WINE" "$work/build-$bits/bin/bench_log.exe" "$@"
  cmake -S "$source_dir" -B "$work/writers-$bits" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw$bits.cmake" \
    -DHALCYON_WERROR=ON >/dev/null
  cmake --build "$work/writers-$bits" -j2 --target wine_report
  echo "=== processes sharing session.log, mingw$bits"
  "$source_dir/bench/wine_writers.sh" "$work/writers-$bits/bin"
done
