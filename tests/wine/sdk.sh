# The SDK a host project installs: cmake --install and cpack give the same tree, and the
# example host (examples/session_report) builds against the installed package with this
# build's toolchain and runs under Wine beside the DLLs it copied.
source "$HALCYON_WINE_LIB"
work="$HALCYON_SDK_WORK"
rm -rf "$work" && mkdir -p "$work"
"$CMAKE" --install "$HALCYON_BUILD_DIR" --prefix "$work/prefix" >/dev/null
package="$HALCYON_PACKAGE_NAME"
"$CPACK" --config "$HALCYON_BUILD_DIR/CPackConfig.cmake" -B "$work" >/dev/null

expected="$(printf '%s\n' bin/HalcyonSessionCtrl.dll bin/tessark.dll $HALCYON_SDK_DEBUG_FILES \
    include/sessionctrl/{ISessionCtrl.h,IUserTokenHolder.h,SessionCtrl.h,export.h} \
    lib/$HALCYON_IMPORT_LIBRARY lib/$HALCYON_TESSARK_IMPORT_LIBRARY \
    lib/cmake/HalcyonSessionCtrl/HalcyonSessionCtrlConfig{,-release,Version}.cmake | sort)"
same "the installed SDK" "$expected" "$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)"
check "$package.zip holds the same files" bash -c 'cd "$1" && "$CMAKE" -E tar xf "$2.zip" && diff -r prefix "$2"' \
    _ "$work" "$package"

example="$work/example"
check "the example configures from the installed package and builds" bash -c \
    '"$CMAKE" -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$3" \
        -DCMAKE_PREFIX_PATH="$4" >"$2.log" 2>&1 && "$CMAKE" --build "$2" >>"$2.log" 2>&1 || { cat "$2.log"; false; }' \
    _ "$HALCYON_EXAMPLE_DIR" "$example" "$HALCYON_TOOLCHAIN_FILE" "$work/prefix"
HALCYON_BIN_DIR="$example" host session_report.exe
same "its answers through the installed DLL" "session=1 local=1
user=${HOSTNAME^^}\\$(id -un)
sid=S-1-5-21-0-0-0-1000" "$HOST_OUTPUT"
((CHECK_FAILURES)) || rm -rf "$work"
finish
