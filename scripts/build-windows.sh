#!/usr/bin/env bash
# Installs what is missing and builds the Windows program, build-windows/norvane.exe: one file
# for Windows 2000 and XP (32-bit), cross-built with mingw-w64.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
WINDOWS_BUILD_PACKAGES=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686)
install_missing "${WINDOWS_BUILD_PACKAGES[@]}"
dir="$ROOT/build-windows"
cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
    -DNORVANE_MINGW_THREADS=win32 -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_TESTS=OFF
cmake --build "$dir" -j"$(nproc)"
echo "Built $dir/norvane.exe"
