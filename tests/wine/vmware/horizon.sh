# HalcyonSessionCtrl.dll under Wine with VMware Horizon "installed": VMware View's
# version, its per-session values and running stand-in servers steer IsLocalSession,
# IsPCoIPConnect and GetClientAddress, and the traces land in session.log.
source "$HALCYON_WINE_LIB"

VDM_KEY='HKLM\SOFTWARE\VMware, Inc.\VMware VDM'
PCOIP_KEY='HKLM\SOFTWARE\Teradici\PCoIP'
VOLATILE_KEY='HKCU\Volatile Environment'
SERVERS_WIN="C:\\halcyon-tests\\$HALCYON_TEST_NAME-servers"
SERVERS="$(wine_unix_path "$SERVERS_WIN")"

forget_vmware() {
    wine_reg_delete_key "$VDM_KEY"
    wine_reg_delete_key "$PCOIP_KEY"
}

# run_host <scenario> [server image name]: one fresh host process, with the log emptied.
run_host() {
    echo "=== $1"
    wine_log_enable
    LOG="$LOG_DIR/session.log"
    if [[ $# -gt 1 ]]; then
        wine_host wine_vmware_host.exe "$SERVERS_WIN\\$2"
    else
        wine_host wine_vmware_host.exe
    fi
    check "$1: the host ran its checks" host_passed
}

value() { sed -n "s/^$1=//p" <<<"$HOST_OUTPUT"; }
answers() { [[ "$(value local)/$(value pcoip)" == "$1" ]]; }
traced() { log_has "$LOG" "${LOG_HEADER}$1\$"; }
traced_initialisation() {
    traced 'Initialize\.\.\., VMware View' && traced 'Session control \[VMware\],'
}

mkdir -p "$SERVERS"
cp "$HALCYON_BIN_DIR/wine_vmware_stand_in_server.exe" "$SERVERS/pcoip_server_win32.exe"
cp "$HALCYON_BIN_DIR/wine_vmware_stand_in_server.exe" "$SERVERS/tera_host.exe"
forget_vmware
wine_reg_delete_key "$TESSARK_KEY"
wine_reg_set "$TESSARK_KEY" VMwareHorizon REG_DWORD 1

# --- VMware View 6: a running PCoIP server makes the session local -----------------
wine_reg_set "$VDM_KEY" ProductVersion REG_SZ 6.2.0
run_host "6, no server"
SESSION="$(value session)"
check "6, no server: remote, no PCoIP" answers 0/0
check "6, no server: backend traced" traced_initialisation
check "6, no server: PCoIP Connect false" traced 'PCoIP Connect >, false'

check "6, no server: host listed in our session" test "$(value host_listed_session)" = "$SESSION"

wine_reg_set "$VOLATILE_KEY" ViewClient_IP_Address REG_SZ 198.51.100.9
run_host "6, no server, address in the volatile environment"
check "6, volatile environment: remote, client address read" \
    test "$(value address_ok)/$(value address_local)/$(value address)" = 1/0/198.51.100.9
wine_reg_delete_value "$VOLATILE_KEY" ViewClient_IP_Address

run_host "6, PCoIP server" pcoip_server_win32.exe
check "6, PCoIP server: listed in our session" test "$(value server_listed_session)" = "$SESSION"
check "6, PCoIP server: local, PCoIP" answers 1/1
check "6, PCoIP server: PCoIP Connect true" traced 'PCoIP Connect >, true'
check "6, PCoIP server: local client address" test "$(value address_ok)/$(value address_local)" = 1/1

wine_reg_set "$PCOIP_KEY" TeraHostPath REG_SZ 'D:\Teradici\tera_host.exe'
run_host "6, TeraHostPath, its server" tera_host.exe
check "6, TeraHostPath, its server: local, PCoIP" answers 1/1
run_host "6, TeraHostPath, default server" pcoip_server_win32.exe
check "6, TeraHostPath, default server: not recognised" answers 0/0
wine_reg_delete_key "$PCOIP_KEY"

# --- VMware View 7: the same server makes the session remote ------------------------
wine_reg_set "$VDM_KEY" ProductVersion REG_SZ 7.5.1
run_host "7, PCoIP server, no session data" pcoip_server_win32.exe
check "7, PCoIP server: remote, no PCoIP" answers 0/0
check "7, PCoIP server: found as VDM process" \
    traced '\[VM\]VDM Process found\., pcoip_server_win32\.exe'
check "7, PCoIP server: PCoIP Connect false" traced 'PCoIP Connect >, false'
check "7, PCoIP server: no record, address untouched" \
    test "$(value address_ok)/$(value address_local)/$(value address)" = "1/1/(untouched)"

wine_reg_set "$VDM_KEY\\SessionData" Placeholder REG_SZ x
run_host "7, SessionData without our session"
check "7, no session key: three attempts" \
    test "$(log_count "$LOG" 'SessionData\) retry:, [12] \(0x[12]\)$')" -eq 2
check "7, no session key: no server" traced '\[VM\]VDM Process not found\.,'
check "7, no session key: local, no PCoIP" answers 1/0

SESSION_KEY="$VDM_KEY\\SessionData\\$SESSION"
wine_reg_set "$SESSION_KEY" ViewClient_IP_Address REG_SZ 192.0.2.44
wine_reg_set "$SESSION_KEY" ViewClient_Protocol REG_SZ BLAST
run_host "7, Blast session"
check "7, Blast session: remote, connected" answers 0/1
check "7, Blast session: Blast Connect true" traced 'Blast Connect >, true'
check "7, Blast session: no retry" test "$(log_count "$LOG" 'retry:')" -eq 0
check "7, Blast session: recorded address" \
    test "$(value address_local)/$(value address)" = 0/192.0.2.44

wine_reg_set "$SESSION_KEY" ViewClient_Protocol REG_SZ PCOIP
run_host "7, PCoIP session"
check "7, PCoIP session: remote, connected" answers 0/1
check "7, PCoIP session: PCoIP Connect true" traced 'PCoIP Connect >, true'

# --- without VMware Horizon the export does not look ---------------------------------
wine_reg_delete_key "$TESSARK_KEY"
run_host "no product"
check "no product: no PCoIP" test "$(value pcoip)" = 0
check "no product: default backend" traced 'Initialize\.\.\., RDP'
check "no product: nothing about PCoIP" test "$(log_count "$LOG" 'Connect >')" -eq 0

((CHECK_FAILURES == 0)) || show_file "$LOG"
forget_vmware
wine_log_disable
rm -rf "$SERVERS"
finish
