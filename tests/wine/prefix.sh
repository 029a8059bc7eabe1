# The Wine prefix of one ctest run (fixture "wine_prefix"): "setup" makes it afresh (64-bit,
# Windows 10, a persistent wineserver serving every test), "cleanup" stops its server and removes it.
# All through Wine's 64-bit loader, WINE64, so that it works where 32-bit programs cannot run.
set -u
export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="${HALCYON_WINE_PREFIX:?}"
[[ "$WINEPREFIX" == */wine-prefix ]] || { echo "refusing prefix '$WINEPREFIX'" >&2; exit 1; }
if [[ -d "$WINEPREFIX" ]]; then
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
fi
[[ "$1" == cleanup ]] && exit 0
mkdir -p "$WINEPREFIX"
# Detached from our output: ctest waits until every holder of the test's pipe is gone.
"$WINESERVER" --persistent=600 </dev/null >/dev/null 2>&1
"$WINE64" wineboot -i </dev/null >/dev/null 2>&1 && "$WINE64" winecfg -v win10 </dev/null >/dev/null 2>&1
"$WINE64" reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuild
