#!/usr/bin/env bash
# Installs what is missing and builds the Windows program, build-windows/norvane.exe: one file
# for Windows 2000 and XP (32-bit), cross-built with mingw-w64; then the download,
# build-windows/norvane-VERSION-win32.zip: the program and a short Japanese readme.txt
# (Shift-JIS, CR LF).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
WINDOWS_BUILD_PACKAGES=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 zip)
install_missing "${WINDOWS_BUILD_PACKAGES[@]}"
# NORVANE_WINDOWS_BUILD_DIR: another build folder (one per compiler, e.g. for a second release).
dir=${NORVANE_WINDOWS_BUILD_DIR:-$ROOT/build-windows}
cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
    -DNORVANE_MINGW_THREADS=win32 -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_TESTS=OFF
cmake --build "$dir" -j"$(nproc)"
echo "Built $dir/norvane.exe"
# It must load on Windows NT 4.0, 98 and Me (to refuse there) and use only what 2000 provides.
bash "$ROOT/scripts/check-windows-imports.sh" "$dir/norvane.exe"

# The version as the About dialog shows it, without the "v": 1.11.0508.
version_part() { sed -n "s/^set(NORVANE_VERSION_$1 \([0-9]*\))$/\1/p" "$ROOT/CMakeLists.txt"; }
version=$(printf '%d.%02d.%04d' "$(version_part MAJOR)" "$(version_part MINOR)" "$(version_part REVISION)")
staging="$dir/zip"
rm -rf "$staging" && mkdir -p "$staging"
cp "$dir/norvane.exe" "$staging/"
sed "s/@VERSION@/$version/" "$ROOT/packaging/windows/readme.txt" | sed 's/$/\r/' |
    iconv -f UTF-8 -t CP932 > "$staging/readme.txt"
archive="$dir/norvane-$version-win32.zip"
rm -f "$archive"
(cd "$staging" && zip -q -X "$archive" norvane.exe readme.txt)
echo "Built $archive"
