# Whether the product's tests run is decided by starting Wine's 32-bit loader: both ways, with
# stand-ins for the loader, on any machine: one the kernel refuses, and one that starts.
source "$(dirname "$0")/../../scripts/lib/check.sh"
refused="$(mktemp)"
printf '\177ELF\1\1\1' >"$refused" && chmod +x "$refused"
begin() {  # begin <loader>: a test of the product's build begins, the decision trying that loader
    HALCYON_WINE32_LOADER="$1" HALCYON_WOW64=1 bash -c 'source "$HALCYON_WINE_LIB" && echo runs'
    echo "exit $?"
}
check "a refused loader skips the test, saying why" test "$(begin "$refused")" == "skipped: This machine \
cannot run 32-bit programs: Wine's 32-bit loader $refused did not start (Exec format error, exit 126).
exit 77"
check "a loader that starts lets it run" test "$(begin "$WINE64")" == $'runs\nexit 0'
rm -f "$refused"
finish
