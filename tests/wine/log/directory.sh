# "OutputLogDir" with a final backslash and missing parent folders: the folders are made,
# and DebugSSO follows a single backslash.
source "$HALCYON_WINE_LIB"

base="C:\\halcyon-tests\\$HALCYON_TEST_NAME\\not\\yet\\there\\"
rm -rf "$(wine_unix_path "C:\\halcyon-tests\\$HALCYON_TEST_NAME")"
wine_reg_delete_key "$TESSARK_KEY"
wine_reg_set "$SSOLOG_KEY" OutputLog REG_DWORD 1
wine_reg_set "$SSOLOG_KEY" OutputLogDir REG_SZ "$base"
wine_host wine_log_host.exe
LOG="$(wine_unix_path "${base}DebugSSO\\session.log")"

check "the host's checks pass" host_passed
check "the missing folders were made and the log written" \
    log_has "$LOG" "${LOG_HEADER}Initialize\.\.\., RDP$"

wine_log_disable
finish
