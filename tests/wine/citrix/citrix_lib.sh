# Sourced by the Citrix scripts after $HALCYON_WINE_LIB: the fake wfapi.dll installed in a
# Citrix directory of the prefix and named by the registry, and the XenDesktop switch.

CITRIX_KEY='HKLM\SOFTWARE\Citrix\PortICA\Install'
ICA_WINDOWS_DIR='C:\halcyon-tests\citrix\ICA Client'
ICA_DIR="$(wine_unix_path "$ICA_WINDOWS_DIR")"
CALLS="$ICA_DIR/fake_wfapi.calls"

# citrix_install <fake dll in bin/>: a fresh directory with that DLL as wfapi.dll, the fake's
# answers file, "Location" naming the directory, and XenDesktop installed.
citrix_install() {
    rm -rf "$ICA_DIR"
    mkdir -p "$ICA_DIR"
    cp "$HALCYON_BIN_DIR/$1" "$ICA_DIR/wfapi.dll"
    printf '%s\r\n' 'station=ICA-CGP#7' 'state=4' 'address=192.0.2.10' >"$ICA_DIR/fake_wfapi.ini"
    wine_reg_delete_key "$TESSARK_KEY"
    wine_reg_set "$TESSARK_KEY" XenDesktop REG_DWORD 1
    wine_reg_set "$CITRIX_KEY" Location REG_SZ "$ICA_WINDOWS_DIR"
}

# citrix_cleanup: leaves the registry and the prefix as they were.
citrix_cleanup() {
    wine_reg_delete_key "$CITRIX_KEY"
    wine_reg_delete_key "$TESSARK_KEY"
    wine_log_disable
    rm -rf "$ICA_DIR"
}

# host_value <name>: a "name=value" line the host printed.
host_value() {
    sed -n "s/^$1=//p" <<<"$HOST_OUTPUT"
}

# calls_has <ERE>: the fake recorded a call matching it.
calls_has() {
    log_has "$CALLS" "$1"
}
