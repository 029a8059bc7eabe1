# Without a usable wfapi.dll the Citrix arm falls back to RDPCtrl, which then answers.
source "$HALCYON_WINE_LIB"
source "$(dirname "$0")/citrix_lib.sh"

# "Location" removed: the registry rule fails.
citrix_install fake_wfapi.dll
wine_reg_delete_value "$CITRIX_KEY" Location
wine_log_enable
wine_host wine_citrix_host.exe
LOG="$LOG_DIR/session.log"
FALLBACK=" Initialization of XenDesktop's wfapi library failed, so it will be initialized for RDP\.,$"

check "the host's checks pass" host_passed
check "XenDesktop is chosen first" log_has "$LOG" "${LOG_HEADER}Initialize\.\.\., XenDesktop$"
check "the registry value is missing" log_has "$LOG" "${LOG_HEADER}registry not found\.,$"
check "the fallback is traced" log_has "$LOG" "${LOG_HEADER}${FALLBACK}"
check "RDPCtrl initialises" log_has "$LOG" "${LOG_HEADER}Session control \[Default\],$"
check "no second selection trace" test "$(log_count "$LOG" 'Initialize\.\.\.,')" -eq 1
# RDPCtrl under Wine: local by the remote-session metric, no station name (see README).
check "RDPCtrl answers local" test "$(host_value local)" = 1
check "RDPCtrl's station name fails under Wine" test "$(host_value station_ok)" = 0
check "the fake library was never called" test ! -e "$CALLS"
((CHECK_FAILURES == 0)) || show_file "$LOG"

# A library without WFFreeMemory: nothing is looked up after it, and RDPCtrl answers.
citrix_install fake_wfapi_without_WFFreeMemory.dll
wine_log_enable
wine_host wine_citrix_host.exe
check "the host's checks pass without WFFreeMemory" host_passed
check "the missing export is traced" log_has "$LOG" "${LOG_HEADER}WFFreeMemory not found\.,$"
check "nothing is looked up after it" test "$(log_count "$LOG" 'WFEnumerateSessionsW not found')" -eq 0
check "the fallback is traced again" log_has "$LOG" "${LOG_HEADER}${FALLBACK}"
check "RDPCtrl answers again" test "$(host_value local)" = 1
check "the incomplete library was never called" test ! -e "$CALLS"
((CHECK_FAILURES == 0)) || show_file "$LOG"

# Tracing off: the same fallback, and no log at all.
citrix_install fake_wfapi_without_WFFreeMemory.dll
wine_log_enable
wine_log_disable
wine_host wine_citrix_host.exe
check "the host's checks pass with tracing off" host_passed
check "nothing is logged with tracing off" test ! -e "$LOG"

citrix_cleanup
finish
