# Plain Windows, no virtual-desktop product: every answer against what Wine gives (README.md),
# the whole trace of the runs, and the DLL unloaded twice.
source "$HALCYON_WINE_LIB"
reg delete "$TESSARK_KEY"
log_on
host wine_report.exe session local user domain station state connected address sessions sid pcoip \
    wow64 release local
same "the answers" "session=1 local=1 user=$(id -un) domain=${HOSTNAME^^} station=false state=false \
connected=0 address=false sessions=false sid=S-1-5-21-0-0-0-1000 pcoip=0 \
wow64=$HALCYON_WOW64 release=done local=1" "$(echo $HOST_OUTPUT)"
host wine_unload.exe
same "both loads answer, and unload with tessark.dll" "load 1: local=1 unloaded=1
load 2: local=1 unloaded=1" "$HOST_OUTPUT"
reg add "$SSOLOG_KEY" /v OutputLog /t REG_DWORD /d 0
host wine_report.exe local

start='Initialize..., RDP
Session control [Default],
WTSOpenServer error, 120 (0x78)
IsLocalSession >, local'
same "the trace: each load detects once and initialises again after Release; nothing while off" "$start
GetSessionUserName >, $(id -un)
GetLoggedOnWinDomain >, ${HOSTNAME^^}
GetWinStationName2 >, 
GetStatus >, false
IsConnected >, false
GetClientAddress >, 
GetAllWinStationName count >, 0 (0x0)
GetUserToken >, 1 (0x1)
${start#*$'\n'}
$start
$start" "$(texts "$LOG")"
reg delete "$SSOLOG_KEY"
finish
