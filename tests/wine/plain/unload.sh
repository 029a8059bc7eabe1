# LoadLibrary / FreeLibrary twice: the DLL and tessark.dll unload, and each load
# registers its logger and makes its backend afresh.
source "$HALCYON_WINE_LIB"

wine_reg_delete_key "$TESSARK_KEY"
wine_log_enable
wine_host wine_plain_unload.exe
LOG="$LOG_DIR/session.log"

check "the host's checks pass" host_passed
check "one detection per load" test "$(log_count "$LOG" "${LOG_HEADER}Initialize\.\.\., RDP$")" -eq 2
check "one IsLocalSession trace per load" \
    test "$(log_count "$LOG" "${LOG_HEADER}IsLocalSession >, local$")" -eq 2
check "no trace fell back to the default logger" test ! -e "$LOG_DIR/kwarden.log"
((CHECK_FAILURES == 0)) || show_file "$LOG"

wine_log_disable
finish
