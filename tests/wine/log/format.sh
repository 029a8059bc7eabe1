# With "OutputLog"=1 and "OutputLogDir" set, the DLL's traces land in DebugSSO\session.log:
# UTF-8 without BOM, CR LF line ends, header columns with this process's ids.
source "$HALCYON_WINE_LIB"

wine_reg_delete_key "$TESSARK_KEY"
wine_log_enable
day_before="$(date +%Y/%m/%d)"
wine_host wine_log_host.exe
day_after="$(date +%Y/%m/%d)"
LOG="$LOG_DIR/session.log"

value() { sed -n "s/^$1=//p" <<<"$HOST_OUTPUT"; }
session="$(printf '%06d' "$(value session)")"
pid="$(printf '%06d' "$(value pid)")"
main_tid="$(printf '%06d' "$(value main_tid)")"
worker_tid="$(printf '%06d' "$(value worker_tid)")"

check "the host's checks pass" host_passed
check "session.log is in DebugSSO" test -s "$LOG"
check "no byte-order mark" test "$(head -c 3 "$LOG" | od -An -tx1 | tr -d ' ')" != efbbbf
check "every line ends in CR LF" test "$(grep -vc $'\r$' "$LOG")" -eq 0
check "and in one CR only" test "$(grep -c $'\r\r$' "$LOG")" -eq 0
check "every line has the header columns" test "$(tr -d '\r' <"$LOG" | grep -Evc "$LOG_HEADER")" -eq 0
check "the date is today's local date" \
    log_has "$LOG" "^($day_before|$day_after)T"
check "session and process columns are this host's" \
    test "$(log_count "$LOG" ", SID:$session, PID:$pid, ")" -eq "$(log_count "$LOG" '.')"
check "the main thread's lines carry its id" \
    log_has "$LOG" ", TID:$main_tid, IsLocalSession >, local$"
check "the worker thread's lines carry its id" \
    log_has "$LOG" ", TID:$worker_tid, GetSessionUserName >, $(id -un)$"
check "a traced message ends with the comma" \
    log_has "$LOG" "${LOG_HEADER}Session control \[Default\],$"
check "a traced result has comma, blank, detail" \
    log_has "$LOG" "${LOG_HEADER}IsConnected >, false$"
check "nothing went to kwarden.log" test ! -e "$LOG_DIR/kwarden.log"
((CHECK_FAILURES == 0)) || show_file "$LOG"

wine_log_disable
finish
