# The session report on plain Windows under Wine.
source "$HALCYON_WINE_LIB"

wine_reg_delete_key "$TESSARK_KEY"
wine_log_disable
wine_host wine_plain_report.exe

check "the report runs" test "$HOST_STATUS" -eq 0
check "the current session is local" grep -Eq '^current session: [0-9]+ \(local\)$' <<<"$HOST_OUTPUT"
check "the user is the Unix user" grep -q "^  user: *\"$(id -un)\"$" <<<"$HOST_OUTPUT"
# Wine lists no session and has no connection state or client address.
check "no session list" grep -q '^sessions: (not available)$' <<<"$HOST_OUTPUT"
check "no client address" grep -q '^  client address: (not available)$' <<<"$HOST_OUTPUT"
finish
