#!/usr/bin/env bash
# The main job: set-up, build, then ask the library about sessions:
#  - on the simulated Windows (Linux build): sessionctl with every shipped machine file;
#  - for real under Wine: the session report host and sessionctl.exe of the product (the
#    32-bit build, a WOW64 process; only where 32-bit programs can run, else it says why),
#    then of the x86_64 build, each in its MinGW build and the report host also in its
#    Microsoft-ABI build, in a fresh 64-bit Wine prefix that is removed afterwards.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
failures=0

run() {
    echo "\$ $*"
    "$@"
    local status=$?
    # sessionctl answers "false" with exit 1; 2 and more are usage errors or crashes.
    if ((status >= 2)); then
        echo "exit $status"
        failures=$((failures + 1))
    fi
}

bash scripts/setup.sh || exit 1

echo "=== build"
cmake --preset linux >/dev/null && cmake --build --preset linux --target sessionctl || exit 1
# The MinGW builds and the Microsoft-ABI ones (the ABI of the maker's hosts; no sessionctl.exe).
for preset in mingw32 mingw64 msvc-abi32 msvc-abi64; do
    targets=(HalcyonSessionCtrl wine_report)
    [[ $preset == mingw* ]] && targets+=(sessionctl)
    cmake --preset $preset >/dev/null &&
        cmake --build --preset $preset --target "${targets[@]}" || exit 1
done

echo "=== the simulated Windows"
SESSIONCTL="$ROOT/build/linux/bin/sessionctl"
for machine in tools/sessionctl/machines/*.json; do
    echo "--- $(basename "$machine" .json)"
    run "$SESSIONCTL" sessions --machine "$machine"
    run "$SESSIONCTL" is-local --machine "$machine"
    run "$SESSIONCTL" info --machine "$machine"
done

echo "=== the real DLL under Wine"
# The prefix and the x86_64 hosts go through Wine's 64-bit loader (Debian's `wine` would start
# the 32-bit one first); the product's hosts need a machine that runs 32-bit programs.
WINE64="$(command -v wine64 || echo /usr/lib/wine/wine64)"
presets=(mingw64 msvc-abi64)
if wine32="$(bash scripts/lib/wine32.sh)"; then
    presets=(mingw32 msvc-abi32 mingw64 msvc-abi64)
else
    echo "--- mingw32, msvc-abi32: the 32-bit product could not be run on this machine. $wine32"
fi
export HALCYON_WINE_PREFIX="$ROOT/build/main-job/wine-prefix"
export WINE64 WINESERVER="$(command -v wineserver)"
export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="$HALCYON_WINE_PREFIX"
trap 'bash tests/wine/prefix.sh cleanup >/dev/null' EXIT
bash tests/wine/prefix.sh setup >/dev/null || exit 1
for preset in "${presets[@]}"; do
    echo "--- $preset"
    BIN="$ROOT/build/$preset/bin"
    loader="$WINE64"
    [[ $preset == *32 ]] && loader="$(command -v wine)"
    run "$loader" "$BIN/wine_report.exe"
    [[ -f "$BIN/sessionctl.exe" ]] || continue
    run "$loader" "$BIN/sessionctl.exe" sessions
    run "$loader" "$BIN/sessionctl.exe" info
done

echo "=== main job: $failures failed run(s)"
((failures == 0))
