# Citrix XenDesktop: the real DLL loads the fake wfapi.dll from the directory that "Location"
# names in the 64-bit view (a 32-bit view decoy names one without it), answers through it and
# gives back every block; without a usable library RDPCtrl answers.
source "$HALCYON_WINE_LIB"
CITRIX_KEY='HKLM\SOFTWARE\Citrix\PortICA\Install'
ICA="$TEST_DIR\\ICA Client"
CALLS="$(unix_path "$ICA\\fake_wfapi.calls")"
install() {  # install <fake in bin/>: it becomes ICA\wfapi.dll; logging on afresh
    log_on
    mkdir -p "$(unix_path "$ICA")"
    cp "$HALCYON_BIN_DIR/$1" "$(unix_path "$ICA\\wfapi.dll")"
}
scopes() {
    for name; do printf '+ WFAPIDll::%s, >> in\n+ WFAPIDll::%s, << out - N [msec]\n' "$name" "$name"; done
}
query() {
    scopes IWFQuerySessionInformationW IWFFreeMemory
    echo "$1"
}
reg delete "$TESSARK_KEY"
reg add "$TESSARK_KEY" /v XenDesktop /t REG_DWORD /d 1
reg add "$CITRIX_KEY" /v Location /t REG_SZ /d "$ICA\\"  # its separator is not doubled
VIEW=32 reg add "$CITRIX_KEY" /v Location /t REG_SZ /d "$TEST_DIR\\32-bit view"

install fake_wfapi.dll
host wine_report.exe local station address commands release wow64
same "Citrix answers; the host is WOW64 in the product build only" "local=0 station=ICA-CGP#7 \
address=192.0.2.10 commands=1 release=done wow64=$HALCYON_WOW64" "$(echo $HOST_OUTPUT)"
same "the trace" "Initialize..., XenDesktop
Session control [WFAPI],
$ICA\\wfapi.dll,
success.,
$(scopes IWFOpenServerW)
$(query 'IsLocalSession >, remote')
$(query 'GetWinStationName2 >, ICA-CGP#7')
$(query 'GetClientAddress >, 192.0.2.10')
Disconnect, 1 (0x1)
$(scopes IWFDisconnectSession)
LogoffSession, 1 (0x1)
$(scopes IWFLogoffSession IWFCloseServer Release)" "$(texts "$LOG" | sed 's/out - [0-9]* /out - N /')"
same "the calls, each block given back" "WFOpenServerW (null)
$(printf 'WFQuerySessionInformationW 0 1 %s\nWFFreeMemory\n' 14 6 14)
WFDisconnectSession 0 1 0
WFLogoffSession 0 1 1
WFCloseServer 5001" "$(tr -d '\r' <"$CALLS")"

# Unloaded while the backend holds the library: its destructor gives it back at each unload
# (the server closed), after the loggers are gone, so that its trace is dropped, not written
# to "kwarden.log" as traces are while the default logger lives.
install fake_wfapi.dll
host wine_unload.exe
same "unloaded holding the library, twice" "load 1: local=0 unloaded=1
load 2: local=0 unloaded=1" "$HOST_OUTPUT"
check "the destructor's trace dropped" test ! -e "$(unix_path "$TEST_DIR\\new\\DebugSSO\\kwarden.log")"
same "each unload closes the server" "$(for load in 1 2; do
    printf 'WFOpenServerW (null)\nWFQuerySessionInformationW 0 1 14\nWFFreeMemory\nWFCloseServer 5001\n'; done)" \
    "$(tr -d '\r' <"$CALLS")"

fallback=" Initialization of XenDesktop's wfapi library failed, so it will be initialized for RDP.,
Session control [Default],
WTSOpenServer error, 120 (0x78)
IsLocalSession >, local"
install fake_wfapi_without_WFFreeMemory.dll
host wine_report.exe local
same "without WFFreeMemory: nothing looked up after it, RDPCtrl answers" "Initialize..., XenDesktop
Session control [WFAPI],
$ICA\\wfapi.dll,
WFFreeMemory not found.,
$fallback" "$(texts "$LOG")"
check "the incomplete library is never called" test ! -e "$CALLS"
reg delete "$CITRIX_KEY"
install fake_wfapi.dll
host wine_report.exe local
same "without Location: RDPCtrl answers" "Initialize..., XenDesktop
Session control [WFAPI],
registry not found.,
$fallback" "$(texts "$LOG")"

VIEW=32 reg delete "$CITRIX_KEY"
reg delete "$TESSARK_KEY"
reg delete "$SSOLOG_KEY"
finish
