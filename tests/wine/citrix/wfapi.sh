# The real DLL loads the fake wfapi.dll from the directory that "Location" names and
# answers through it.
source "$HALCYON_WINE_LIB"
source "$(dirname "$0")/citrix_lib.sh"

citrix_install fake_wfapi.dll
wine_log_enable
wine_host wine_citrix_host.exe commands
LOG="$LOG_DIR/session.log"
OWN="$(host_value session)"

check "the host's checks pass" host_passed
check "XenDesktop is selected" log_has "$LOG" "${LOG_HEADER}Initialize\.\.\., XenDesktop$"
check "the Citrix backend initialises" log_has "$LOG" "${LOG_HEADER}Session control \[WFAPI\],$"
check "the path is traced with one separator" \
    log_has "$LOG" "${LOG_HEADER}C:\\\\halcyon-tests\\\\citrix\\\\ICA Client\\\\wfapi\.dll,$"
check "the load succeeds" log_has "$LOG" "${LOG_HEADER}success\.,$"
check "no fallback" test "$(log_count "$LOG" 'initialized for RDP')" -eq 0
check "wrappers trace their scope" \
    log_has "$LOG" "${LOG_HEADER}\+ WFAPIDll::IWFQuerySessionInformationW, >> in$"
check "wrappers trace their exit" \
    log_has "$LOG" "${LOG_HEADER}\+ WFAPIDll::IWFQuerySessionInformationW, << out - [0-9]+ \[msec\]$"
check "Release unloads the library" log_has "$LOG" "${LOG_HEADER}\+ WFAPIDll::Release, >> in$"

# Windows 10 (the host's manifest): a client-address record makes the session remote.
check "a Citrix client makes the session remote" test "$(host_value local)" = 0
check "the station name comes from Citrix" test "$(host_value station)" = 'ICA-CGP#7'
check "the state comes from Citrix" test "$(host_value status)" = 4
check "the client address comes from Citrix" test "$(host_value address)" = 192.0.2.10
check "the current server is opened by no name" calls_has '^WFOpenServerW \(null\)$'
check "queries go to the current server" calls_has "^WFQuerySessionInformationW 0 $OWN 6$"
check "disconnect goes to Citrix without waiting" calls_has "^WFDisconnectSession 0 $OWN 0$"
check "log off goes to Citrix waiting" calls_has "^WFLogoffSession 0 $OWN 1$"
check "the server is closed on Release" calls_has '^WFCloseServer 5001$'
check "every block is given back" \
    test "$(log_count "$CALLS" '^WFFreeMemory$')" -eq "$(log_count "$CALLS" '^WFQuerySessionInformationW ')"
((CHECK_FAILURES == 0)) || { show_file "$LOG"; show_file "$CALLS"; }

citrix_cleanup
finish
