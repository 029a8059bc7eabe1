#!/usr/bin/env bash
# The main job: set-up, build, then ask the library about sessions twice:
#  - on the simulated Windows (Linux build): sessionctl with every shipped machine file;
#  - for real under Wine (x86_64 build): the session report host and sessionctl.exe,
#    in a fresh Wine prefix that is removed afterwards.
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
cmake --preset linux >/dev/null &&
    cmake --build --preset linux --target sessionctl &&
    cmake --preset mingw64 >/dev/null &&
    cmake --build --preset mingw64 --target HalcyonSessionCtrl wine_plain_report sessionctl ||
    exit 1

echo "=== the simulated Windows"
SESSIONCTL="$ROOT/build/linux/bin/sessionctl"
for machine in tools/sessionctl/machines/*.json; do
    echo "--- $(basename "$machine" .json)"
    run "$SESSIONCTL" sessions --machine "$machine"
    run "$SESSIONCTL" is-local --machine "$machine"
    run "$SESSIONCTL" info --machine "$machine"
done

echo "=== the real DLL under Wine"
export HALCYON_WINE_STATE="$ROOT/build/main-job/wine-prefix.path"
export WINE="$(command -v wine)" WINEBOOT="$(command -v wineboot)" WINESERVER="$(command -v wineserver)"
export WINEDEBUG=-all WINEARCH=win64
mkdir -p "$(dirname "$HALCYON_WINE_STATE")"
trap 'bash tests/wine/common/prefix_cleanup.sh >/dev/null' EXIT
bash tests/wine/common/prefix_setup.sh >/dev/null || exit 1
WINEPREFIX="$(cat "$HALCYON_WINE_STATE")"
export WINEPREFIX
BIN="$ROOT/build/mingw64/bin"
run "$WINE" "$BIN/wine_plain_report.exe"
run "$WINE" "$BIN/sessionctl.exe" sessions
run "$WINE" "$BIN/sessionctl.exe" info

echo "=== main job: $failures failed run(s)"
((failures == 0))
