# Fixture cleanup: stops the prefix's wineserver and removes the prefix.
set -u
export WINEDEBUG=-all

[[ -s "$HALCYON_WINE_STATE" ]] || exit 0
WINEPREFIX="$(cat "$HALCYON_WINE_STATE")"
export WINEPREFIX
case "$WINEPREFIX" in
    */halcyon-wine.*) ;;
    *) echo "refusing to remove unexpected prefix '$WINEPREFIX'" >&2; exit 1 ;;
esac
if [[ -d "$WINEPREFIX" ]]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
fi
rm -f "$HALCYON_WINE_STATE"
echo "Wine prefix removed: $WINEPREFIX"
