# The exports on plain Windows: the host checks the answers, this script the traces.
source "$HALCYON_WINE_LIB"

wine_reg_delete_key "$TESSARK_KEY"
wine_log_enable
wine_host wine_plain_host.exe
LOG="$LOG_DIR/session.log"

check "the host's checks pass" host_passed
check "no product: default arm" log_has "$LOG" "${LOG_HEADER}Initialize\.\.\., RDP$"
check "one detection for the life of the backend" \
    test "$(log_count "$LOG" 'Initialize\.\.\.,')" -eq 1
check "RDPCtrl initialised, and again after Release" \
    test "$(log_count "$LOG" "${LOG_HEADER}Session control \[Default\],$")" -eq 2
# Wine has no WTSOpenServerW: the probe fails with ERROR_CALL_NOT_IMPLEMENTED.
check "the failed server probe is traced" \
    log_has "$LOG" "${LOG_HEADER}WTSOpenServer error, 120 \(0x78\)$"
check "IsLocalSession traces local" log_has "$LOG" "${LOG_HEADER}IsLocalSession >, local$"
check "the user name is traced" log_has "$LOG" "${LOG_HEADER}GetSessionUserName >, $(id -un)$"
check "a failed station name traces the empty text" \
    log_has "$LOG" "${LOG_HEADER}GetWinStationName >, $"
check "a failed session list traces the count 0" \
    log_has "$LOG" "${LOG_HEADER}GetAllWinStationName count >, 0 \(0x0\)$"
check "the token is traced with the session id" \
    log_has "$LOG" "${LOG_HEADER}GetUserToken >, [0-9]+ \(0x[0-9a-f]+\)$"
check "nothing went to the default logger" test ! -e "$LOG_DIR/kwarden.log"
((CHECK_FAILURES == 0)) || show_file "$LOG"

wine_log_disable
finish
