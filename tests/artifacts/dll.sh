# The built DLLs read back with the MinGW binutils: PE format of the preset's architecture,
# imports, the export table, and the resources hosts read (string table, version, manifest).
set -u
source "$(dirname "$0")/../../scripts/lib/check.sh"
export LC_ALL=C.UTF-8

imports() { "$OBJDUMP" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
for dll in "$PRODUCT_DLL" "$TESSARK_DLL"; do
    echo "$(basename "$dll") imports:" $(imports "$dll")
    check "$(basename "$dll") is $PE_FORMAT" grep -q "file format $PE_FORMAT\$" <<<"$("$OBJDUMP" -f "$dll")"
    check "$(basename "$dll") needs no MinGW runtime DLL" \
        bash -c '[[ -n "$1" ]] && ! grep -Eiq "^(libgcc|libstdc\+\+|libwinpthread|libssp|libatomic)" <<<"$1"' \
        _ "$(imports "$dll")"
done
check "HalcyonSessionCtrl imports tessark.dll and wtsapi32.dll" \
    test "$(imports "$PRODUCT_DLL" | grep -Eix '(tessark|wtsapi32)\.dll' | sort -uf | wc -l)" -eq 2
for runtime in $SHARED_RUNTIME; do
    check "HalcyonSessionCtrl imports the shared run-time's $runtime" grep -qix "$runtime" <<<"$(imports "$PRODUCT_DLL")"
done

# Besides the members and virtual tables, only the two classes' type information (GCC's).
exports="$("$OBJDUMP" -p "$PRODUCT_DLL" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' |
    grep -Ev '^_ZTIN11sessionctrl(15UserTokenHolder|16IUserTokenHolder)E$' | sort)"
check "the export table is exactly the class members and virtual tables" \
    diff <(grep -v '^#' "$EXPECTED_EXPORTS" | sort) <(echo "$exports")

# Microsoft's segments of initialisers: the ordered statics' (their destructors' registration
# too) in the library's, ahead of the ordinary ones in the user's.
if [[ -n "$ORDERED_STATICS_OBJECT" ]]; then
    sections="$("$OBJDUMP" -h "$ORDERED_STATICS_OBJECT")"
    check "the ordered statics are initialised in the library's segment only" \
        bash -c 'grep -q "CRT\$XCL" <<<"$1" && ! grep -q "CRT\$XCU" <<<"$1"' _ "$sections"
fi

rc="$("$WINDRES" -i "$PRODUCT_DLL" -O rc)"
# The string table as "<language id> <string id> <text>" lines, the text in UTF-8. windres
# writes a LANGUAGE line (primary, sub) before each block and non-ASCII text as L"..." with
# \xHHHH escapes of UTF-16 units.
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
check "the string table: every message in languages 0x400 and 0x11, and only those" \
    diff <(grep -v '^#' "$EXPECTED_STRINGS" | sort) <(echo "$strings")
check "one string block of the version record" test "$(grep -c 'BLOCK "[0-9a-fA-F]\{8\}"' <<<"$rc")" -eq 1
while read -r line; do
    check "version record and manifest: $line" grep -qF -- "$line" <<<"$rc"
done <<'EOF'
 FILEVERSION 1, 13, 1, 1
 PRODUCTVERSION 1, 13, 1, 1
BLOCK "041104b0"
VALUE "Comments", "Session Control library"
VALUE "FileDescription", "HalcyonSessionCtrl (32bit)"
VALUE "InternalName", "HalcyonSessionCtrl"
VALUE "Translation", 0x411, 1200
24 /* RT_MANIFEST */
requestedExecutionLevel level=""asInvoker"" uiAccess=""false""
EOF
finish
