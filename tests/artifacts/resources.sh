# The resources hosts read: the result messages in both languages, the version record
# and the manifest, read back from the built DLL with windres.
source "$(dirname "$0")/artifact_lib.sh"
export LC_ALL=C.UTF-8

rc="$("$WINDRES" -i "$PRODUCT_DLL" -O rc)"

# The string table as "<language id> <string id> <text>" lines, the text in UTF-8.
# windres writes a LANGUAGE line (primary, sub) before each block and non-ASCII text
# as L"..." with \xHHHH escapes of UTF-16 units.
strings="$(awk '
    /^LANGUAGE / { gsub(",", "", $2); language = sprintf("0x%x", $3 * 1024 + $2) }
    /^STRINGTABLE/ { inside = 1; next }
    inside && /^END/ { inside = 0 }
    inside && match($0, /^ *[0-9]+, L?"/) {
        id = $1; sub(",", "", id)
        text = substr($0, RLENGTH + 1); sub(/"$/, "", text)
        print language, id, text
    }' <<<"$rc" | while read -r language id text; do
        printf '%s %s %b\n' "$language" "$id" "${text//\\x/\\u}"
    done | sort)"
expected="$(grep -v '^#' "$EXPECTED_STRINGS" | sort)"
difference="$(diff <(echo "$expected") <(echo "$strings"))"
[[ -z "$difference" ]] || { echo "string table, expected (<) against built (>):"; echo "$difference"; }
check "the string table holds every message in languages 0x400 and 0x11, and only those" \
    test -z "$difference"

has() { grep -Eq -- "$1" <<<"$rc"; }
check "file version 1.13.1.1" has '^ FILEVERSION 1, 13, 1, 1$'
check "product version 1.13.1.1" has '^ PRODUCTVERSION 1, 13, 1, 1$'
check "one string block, language 0x0411, code page 1200" \
    test "$(grep -c 'BLOCK "[0-9a-fA-F]\{8\}"' <<<"$rc")" -eq 1 -a -n "$(grep 'BLOCK "041104b0"' <<<"$rc")"
check "the comment" has 'VALUE "Comments", L?"Session Control library"$'
check "the internal name" has 'VALUE "InternalName", L?"HalcyonSessionCtrl"$'
check "the file description" has 'VALUE "FileDescription", L?"HalcyonSessionCtrl \(32bit\)"$'
check "the translation entry" has 'VALUE "Translation", 0x411, 1200$'

manifest="$(sed -n '/^[0-9]* 24 /,/^END/p' <<<"$rc")"
check "a manifest resource" test -n "$manifest"
check "the manifest asks for asInvoker without UI access" \
    grep -q 'requestedExecutionLevel level=""asInvoker"" uiAccess=""false""' <<<"$manifest"
finish
