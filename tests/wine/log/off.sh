# "OutputLog"=0 and a missing "OutputLog": nothing is written, no folder is made.
source "$HALCYON_WINE_LIB"

base="C:\\halcyon-tests\\$HALCYON_TEST_NAME"
dir="$(wine_unix_path "$base")"
rm -rf "$dir"
wine_reg_delete_key "$TESSARK_KEY"

wine_reg_set "$SSOLOG_KEY" OutputLog REG_DWORD 0
wine_reg_set "$SSOLOG_KEY" OutputLogDir REG_SZ "$base"
wine_host wine_log_host.exe
check "the host's checks pass with OutputLog 0" host_passed
check "no log folder with OutputLog 0" test ! -e "$dir"

wine_reg_delete_value "$SSOLOG_KEY" OutputLog
wine_host wine_log_host.exe
check "the host's checks pass without OutputLog" host_passed
check "no log folder without OutputLog" test ! -e "$dir"

# The same configuration with the switch on writes: the checks above can see a log.
wine_reg_set "$SSOLOG_KEY" OutputLog REG_DWORD 1
wine_host wine_log_host.exe
check "with OutputLog 1 the log appears" test -s "$dir/DebugSSO/session.log"

wine_log_disable
finish
