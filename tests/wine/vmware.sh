# VMware Horizon: VMware View's values in the 64-bit view, a running stand-in PCoIP server and
# the user's volatile environment (read while impersonating) steer the answers and the trace.
source "$HALCYON_WINE_LIB"
VDM_KEY='HKLM\SOFTWARE\VMware, Inc.\VMware VDM'
VOLATILE_KEY='HKCU\Volatile Environment'
SERVER="C:\\halcyon-tests\\servers\\pcoip_server_win32.exe"
reg delete "$TESSARK_KEY"
reg add "$TESSARK_KEY" /v VMwareHorizon /t REG_DWORD /d 1
reg delete "$VDM_KEY"
mkdir -p "$(dirname "$(unix_path "$SERVER")")"
cp "$HALCYON_BIN_DIR/wine_unload.exe" "$(unix_path "$SERVER")"

# scenario <what> <expected answers and trace> [server=PATH]: one fresh host process.
scenario() {
    log_on
    host wine_report.exe "${@:3}" local pcoip address
    same "$1" "$2" "$HOST_OUTPUT
$(texts "$LOG")"
}
start="Initialize..., VMware View
Session control [VMware],
WTSOpenServer error, 120 (0x78)"

reg add "$VDM_KEY" /v ProductVersion /t REG_SZ /d 6.2.0
scenario "View 6 with its PCoIP server running: local, PCoIP" "server=1
local=1
pcoip=1
address=local
$start
IsLocalSession >, local
PCoIP Connect >, true
GetClientAddress >, local" server="$SERVER"
reg add "$VOLATILE_KEY" /v ViewClient_IP_Address /t REG_SZ /d 198.51.100.9
scenario "View 6 without a server: remote, the user's client address" "local=0
pcoip=0
address=198.51.100.9
$start
IsLocalSession >, remote
PCoIP Connect >, false
GetClientAddress >, 198.51.100.9"
reg delete "$VOLATILE_KEY" /v ViewClient_IP_Address

reg add "$VDM_KEY" /v ProductVersion /t REG_SZ /d 7.5.1
reg add "$VDM_KEY\\SessionData\\1" /v ViewClient_IP_Address /t REG_SZ /d 192.0.2.44
reg add "$VDM_KEY\\SessionData\\1" /v ViewClient_Protocol /t REG_SZ /d BLAST
scenario "View 7, a Blast session: remote, connected, its address" "local=0
pcoip=1
address=192.0.2.44
$start
IsLocalSession >, remote
Blast Connect >, true
GetClientAddress >, 192.0.2.44"

reg delete "$VDM_KEY"
reg delete "$TESSARK_KEY"
reg delete "$SSOLOG_KEY"
rm -rf "$(dirname "$(unix_path "$SERVER")")"
finish
