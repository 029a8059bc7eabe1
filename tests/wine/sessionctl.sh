# sessionctl.exe switches the log on and off where the library reads it (the 64-bit view, also
# from the product's 32-bit build): its own traced call then writes session.log into the folder
# given, and a running process stops writing at its refresh after `log off`.
source "$HALCYON_WINE_LIB"
reg delete "$TESSARK_KEY"
reg delete "$SSOLOG_KEY"
rm -rf "$(unix_path "$TEST_DIR")"
LOG="$(unix_path "$TEST_DIR\\DebugSSO\\session.log")"
GO="$TEST_DIR\\go"
trace='Initialize..., RDP
Session control [Default],
WTSOpenServer error, 120 (0x78)
IsLocalSession >, local'

host sessionctl.exe log on --dir "$TEST_DIR"
same "log on: what it wrote, and what the library makes of it" "wrote OutputLog = 1 (REG_DWORD), \
OutputLogDir = \"$TEST_DIR\" (REG_SZ)
running processes switch their log on at their next trace, within 2 seconds
key HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog (64-bit view)
  OutputLog      REG_DWORD 1                log on
  OutputLogDir   REG_SZ \"$TEST_DIR\" folder $TEST_DIR\\DebugSSO
  OutputLogSize  absent                     limit 10485760 bytes (the default)
the library writes session.log and kwarden.log into $TEST_DIR\\DebugSSO, moving a file to .bak from 10485760 bytes" \
    "$HOST_OUTPUT"
host sessionctl.exe is-local
same "a traced call of sessionctl.exe writes its session.log there" "$trace" "$(texts "$LOG")"

# A process that traced while the log was on, then waits for $GO while the log is switched off.
REPORT="$(unix_path "$TEST_DIR\\report.out")"
"$WINE" "$HALCYON_BIN_DIR/wine_report.exe" local wait="$GO" local >"$REPORT" &
waiting=$!
until grep -q ready "$REPORT" || ! kill -0 "$waiting" 2>/dev/null; do sleep 0.2; done
host sessionctl.exe log off
same "log off: what it wrote, and when running processes see it" "wrote OutputLog = 0 (REG_DWORD)
running processes switch their log off at their next trace, within 10 seconds" "$(head -2 <<<"$HOST_OUTPUT")"
sleep 11
touch "$(unix_path "$GO")"
wait "$waiting"
host sessionctl.exe is-local
same "after the refresh neither the running process nor a new one writes" "$trace
$trace" "$(texts "$LOG")"

reg delete "$SSOLOG_KEY"
rm -rf "$(unix_path "$TEST_DIR")"
finish
