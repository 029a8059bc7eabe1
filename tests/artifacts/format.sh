# Both DLLs are PE images for the preset's architecture.
source "$(dirname "$0")/artifact_lib.sh"

for dll in "$PRODUCT_DLL" "$TESSARK_DLL"; do
    check "$(basename "$dll") is $PE_FORMAT" \
        grep -q "file format $PE_FORMAT\$" <<<"$("$OBJDUMP" -f "$dll")"
done
finish
