#!/usr/bin/env bash
# Makes sure the build and test tools are installed. As root it installs what is missing
# (one apt-get update, only when something is missing); otherwise it only checks.
# Harmless when everything is present.
set -euo pipefail

PACKAGES=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev
          binutils g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          wine wine64 wine32:i386 clang libclang-rt-14-dev valgrind
          # the Microsoft-ABI presets: clang-cl, lld-link, llvm-dlltool; Wine's headers;
          # llvm-readobj and llvm-objdump read every DLL's mitigations back
          clang-19 lld-19 llvm-19 libwine-dev)

# The product is a 32-bit DLL: its Wine tests run it in a WOW64 process, which needs i386 Wine.
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0 && need_i386 == 0)); then
    echo "setup: all tools present"
    exit 0
fi

if [[ "$(id -u)" != 0 ]]; then
    echo "setup: missing packages (run this script as root to install): ${missing[*]}" >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
((need_i386)) && dpkg --add-architecture i386
apt-get update
# With recommends: that is how Wine was set up where these scripts were proven.
apt-get install -y "${missing[@]}"
