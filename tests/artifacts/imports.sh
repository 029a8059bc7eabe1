# The product imports tessark.dll, and neither DLL needs a MinGW runtime DLL.
source "$(dirname "$0")/artifact_lib.sh"

product_imports="$(imported_dlls "$PRODUCT_DLL")"
echo "$(basename "$PRODUCT_DLL") imports:" $product_imports
check "HalcyonSessionCtrl imports tessark.dll" grep -qix 'tessark.dll' <<<"$product_imports"
check "HalcyonSessionCtrl imports wtsapi32.dll" grep -qix 'wtsapi32.dll' <<<"$product_imports"

runtime='^(libgcc|libstdc\+\+|libwinpthread|libssp|libatomic)'
for dll in "$PRODUCT_DLL" "$TESSARK_DLL"; do
    imports="$(imported_dlls "$dll")"
    check "$(basename "$dll") has an import table" test -n "$imports"
    check "$(basename "$dll") imports no MinGW runtime DLL" \
        bash -c '! grep -Eiq "$1" <<<"$2"' _ "$runtime" "$imports"
done
finish
