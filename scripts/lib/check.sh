# Shared by the shell tests and scripts: named checks that count their failures.
# Source it, call `check <what> <command...>` as often as needed, end with `finish`.

CHECK_FAILURES=0

# check <description> <command...>: runs a command, counts and reports a failure.
check() {
    local what="$1"; shift
    if "$@"; then
        echo "ok   - $what"
    else
        echo "FAIL - $what"
        CHECK_FAILURES=$((CHECK_FAILURES + 1))
    fi
}

# finish: the script's exit; nonzero when any check failed.
finish() {
    if ((CHECK_FAILURES > 0)); then
        echo "$CHECK_FAILURES check(s) failed"
        exit 1
    fi
    exit 0
}
