# Sourced by the artifact checks: the shared checks plus readers of a PE file.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/check.sh"

# exported_names <dll>: the names in its export table, one a line.
exported_names() {
    "$OBJDUMP" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p'
}

# imported_dlls <dll>: the DLL names of its import table, one a line.
imported_dlls() {
    "$OBJDUMP" -p "$1" | sed -n 's/^\s*DLL Name: //p'
}
