# Sourced by every Wine test: the prefix, the hosts, Wine's registry and the log. Set by
# CMake: HALCYON_WINE_PREFIX, HALCYON_BIN_DIR, HALCYON_TEST_NAME, HALCYON_WOW64, WINE (the
# hosts' loader), WINE64.
set -u
SCRIPTS="$(dirname "${BASH_SOURCE[0]}")/../../scripts"
source "$SCRIPTS/lib/check.sh"
# The product's hosts need a machine that runs 32-bit programs; elsewhere the test is
# skipped (ctest's SKIP_RETURN_CODE), saying why.
if ((HALCYON_WOW64)) && ! WINE32="$(bash "$SCRIPTS/lib/wine32.sh")"; then
    echo "skipped: $WINE32"
    exit 77
fi
export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="${HALCYON_WINE_PREFIX:?}"
[[ -d "$WINEPREFIX/drive_c" ]] || { echo "no Wine prefix: wine.prefix.setup has not run" >&2; exit 1; }

SSOLOG_KEY='HKLM\SOFTWARE\Corvane Systems K.K.\Corvane Keywarden\SSOLog'
# tessark's switches: REG_DWORD 1 under XenApp, XenDesktop, XenDesktop7 or VMwareHorizon "installs" it.
TESSARK_KEY='HKLM\SOFTWARE\Corvane Systems K.K.\Tessark\InstalledProducts'
TEST_DIR="C:\\halcyon-tests\\$HALCYON_TEST_NAME"
# The header columns of a log line: local time, session, process and thread ids.
LOG_HEADER='[0-9]{4}/[0-9]{2}/[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}, '
LOG_HEADER+='SID:[0-9]{6,}, PID:[0-9]{6,}, TID:[0-9]{6,}, '

# host <exe> [words...]: runs bin/<exe> and prints its output; HOST_OUTPUT holds it without CRs.
host() {
    HOST_OUTPUT="$("$WINE" "$HALCYON_BIN_DIR/$1" "${@:2}" | tr -d '\r')"
    printf '%s\n' "$HOST_OUTPUT"
}

# reg add|delete <key> [/v <name> /t <type> /d <data>]: Wine's registry, the 64-bit view unless
# VIEW=32; deleting what is missing is no error.
reg() {
    "$WINE64" reg "$@" /f "/reg:${VIEW:-64}" >/dev/null 2>&1 || [[ "$1" == delete ]]
}

# unix_path <C:\path>: where a file of the prefix's drive C is.
unix_path() {
    local path="${1//\\//}"
    echo "$WINEPREFIX/drive_c/${path:3}"
}

# log_on: logging into <TEST_DIR>\new\DebugSSO, whose missing folders the library makes (the
# final backslash of "OutputLogDir" is not doubled); LOG is its session.log.
log_on() {
    rm -rf "$(unix_path "$TEST_DIR")"
    reg add "$SSOLOG_KEY" /v OutputLog /t REG_DWORD /d 1
    reg add "$SSOLOG_KEY" /v OutputLogDir /t REG_SZ /d "$TEST_DIR\\new\\"
    LOG="$(unix_path "$TEST_DIR\\new\\DebugSSO\\session.log")"
}

# texts <log file>: the text parts of its lines, header columns and CR LF taken off.
texts() {
    [[ -f "$1" ]] && tr -d '\r' <"$1" | sed -E "s|^$LOG_HEADER||"
}

# same <what> <expected> <actual>: one check of a whole transcript; a failure shows the diff.
same() {
    check "$1" diff -u --label expected --label actual <(printf '%s\n' "$2") <(printf '%s\n' "$3")
}
