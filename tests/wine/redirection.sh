# An ordinary user's links where the log goes, Unix links in drive_c as Wine 8 shows them: a
# link in place of the log folder or of the folder above it shows its reparse point, a linked
# file its final path elsewhere, a second name of a file its link count. Each time nothing is
# written or made, in the user's folder or anywhere; with the link gone the log is written.
source "$HALCYON_WINE_LIB"
reg delete "$TESSARK_KEY"
log_on
DIR="$(unix_path "$TEST_DIR")"
# plant <what>: the user's folder with a file of theirs, and the link.
plant() {
    rm -rf "$DIR" && mkdir -p "$DIR/new/DebugSSO" "$DIR/mallory" && echo mine >"$DIR/mallory/own.txt"
    case $1 in
        folder) rmdir "$DIR/new/DebugSSO" && ln -s ../mallory "$DIR/new/DebugSSO" ;;
        above) rm -r "$DIR/new" && mkdir "$DIR/mallory/DebugSSO" && ln -s mallory "$DIR/new" ;;
        file) ln -s ../../mallory/own.txt "$DIR/new/DebugSSO/session.log" ;;
        name) ln "$DIR/mallory/own.txt" "$DIR/new/DebugSSO/session.log" ;;
    esac
}
# Every entry with its type and size, and the user's file.
files() { (cd "$DIR" && find . -mindepth 1 -printf '%P %y %s\n' | sort && cat mallory/own.txt); }

for what in folder above file name; do
    plant $what
    before="$(files)"
    host wine_report.exe local >/dev/null
    same "a link in place of the $what: nothing written" "$before" "$(files)"
done
plant none
host wine_report.exe local >/dev/null
same "no link: the log is written" 'Initialize..., RDP
Session control [Default],
WTSOpenServer error, 120 (0x78)
IsLocalSession >, local' "$(texts "$LOG")"
rm -rf "$DIR"
reg delete "$SSOLOG_KEY"
finish
