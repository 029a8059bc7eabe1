# Sourced by every Wine test script. Needs the environment that halcyon_wine_test sets:
# HALCYON_WINE_STATE, HALCYON_BIN_DIR, WINE, WINESERVER, HALCYON_TEST_NAME.
set -u

# check and finish: the shared shell checks.
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/lib/check.sh"

WINEDEBUG=-all
WINEARCH=win64
export WINEDEBUG WINEARCH

if [[ ! -s "${HALCYON_WINE_STATE:?}" ]]; then
    echo "no Wine prefix: the fixture test wine.prefix.setup has not run" >&2
    exit 1
fi
WINEPREFIX="$(cat "$HALCYON_WINE_STATE")"
export WINEPREFIX

# The log configuration key of the library.
SSOLOG_KEY='HKLM\SOFTWARE\Corvane Systems K.K.\Corvane Keywarden\SSOLog'
# Where tessark reads which products are installed.
TESSARK_KEY='HKLM\SOFTWARE\Corvane Systems K.K.\Tessark\InstalledProducts'

# wine_run <exe in bin/ or path> [args...]: runs a host under the 64-bit loader; its
# stdout keeps Windows line ends, strip them with `tr -d '\r'` when comparing.
wine_run() {
    local exe="$1"; shift
    [[ "$exe" == */* ]] || exe="$HALCYON_BIN_DIR/$exe"
    "$WINE" "$exe" "$@"
}

# wine_host <exe> [args...]: runs a host, prints its output, and sets HOST_OUTPUT (its
# stdout, CR LF turned into LF) and HOST_STATUS (its exit code: the failed checks).
wine_host() {
    local raw
    raw="$(wine_run "$@")"
    HOST_STATUS=$?
    HOST_OUTPUT="${raw//$'\r'/}"
    printf '%s\n' "$HOST_OUTPUT"
}

# host_passed: the host's checks all passed and it ran to its end.
host_passed() {
    [[ "$HOST_STATUS" -eq 0 ]] && grep -q '^0 check(s) failed$' <<<"$HOST_OUTPUT"
}

# wine_reg_set <key> <value name> <REG_type> <data>: writes Wine's real registry, 64-bit view.
wine_reg_set() {
    "$WINE" reg add "$1" /v "$2" /t "$3" /d "$4" /f /reg:64 >/dev/null
}

# wine_reg_delete_value <key> <value name>: removes one value; a missing one is no error.
wine_reg_delete_value() {
    "$WINE" reg delete "$1" /v "$2" /f /reg:64 >/dev/null 2>&1 || true
}

# wine_reg_delete_key <key>: removes a key with everything under it; a missing one is no error.
wine_reg_delete_key() {
    "$WINE" reg delete "$1" /f /reg:64 >/dev/null 2>&1 || true
}

# wine_unix_path <C:\windows\path>: the host path of a file on the prefix's drive C.
wine_unix_path() {
    local path="${1//\\//}"
    case "$path" in
        [Cc]:/*) echo "$WINEPREFIX/drive_c/${path:3}" ;;
        *) echo "only drive C is mapped: $1" >&2; return 1 ;;
    esac
}

# wine_log_enable: switches the log on, into C:\halcyon-tests\<test name>, emptied first.
# Sets LOG_DIR to the host path of its "DebugSSO" folder, where the log files land.
wine_log_enable() {
    local base="C:\\halcyon-tests\\$HALCYON_TEST_NAME"
    rm -rf "$(wine_unix_path "$base")"
    wine_reg_set "$SSOLOG_KEY" OutputLog REG_DWORD 1
    wine_reg_set "$SSOLOG_KEY" OutputLogDir REG_SZ "$base"
    LOG_DIR="$(wine_unix_path "$base\\DebugSSO")"
}

# wine_log_disable: removes the whole log configuration (logging off).
wine_log_disable() {
    wine_reg_delete_key "$SSOLOG_KEY"
}

# log_has <file> <extended regex>: some line of the file (CR LF stripped) matches.
log_has() {
    [[ -f "$1" ]] && tr -d '\r' <"$1" | grep -Eq -- "$2"
}

# log_count <file> <extended regex>: how many lines match (0 when the file is missing).
log_count() {
    if [[ -f "$1" ]]; then tr -d '\r' <"$1" | grep -Ec -- "$2" || true; else echo 0; fi
}

# The header columns of every log line: local time, session, process and thread ids.
LOG_HEADER='^[0-9]{4}/[0-9]{2}/[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}, SID:[0-9]{6,}, PID:[0-9]{6,}, TID:[0-9]{6,}, '

# show_file <file>: prints a file for the ctest output of a failed test.
show_file() {
    echo "----- $1"
    if [[ -f "$1" ]]; then tr -d '\r' <"$1"; else echo "(missing)"; fi
    echo "-----"
}
