# Fixture: a fresh 64-bit Wine prefix for this ctest run, reporting Windows 10.
# Its path goes to $HALCYON_WINE_STATE; a persistent wineserver serves all the tests.
set -eu
export WINEDEBUG=-all WINEARCH=win64

# A prefix left behind by an interrupted run goes first.
if [[ -s "$HALCYON_WINE_STATE" ]]; then
    bash "$(dirname "$0")/prefix_cleanup.sh"
fi

WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/halcyon-wine.XXXXXX")"
export WINEPREFIX
echo "$WINEPREFIX" >"$HALCYON_WINE_STATE"

# Detached from our output: ctest waits until every holder of the test's pipe is gone.
"$WINESERVER" --persistent=600 </dev/null >/dev/null 2>&1
"$WINEBOOT" -i </dev/null >/dev/null 2>&1
"$WINE" winecfg -v win10 </dev/null >/dev/null 2>&1
"$WINE" reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuild
echo "Wine prefix ready: $WINEPREFIX"
