#!/usr/bin/env bash
# Installs what is missing, builds Norvane for installation under /usr with Debian's
# hardening flags and makes its Debian package, build-deb/package/norvane_*.deb; prints the
# package's path last.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
dir="$ROOT/build-deb"
# Build type None: only Debian's own flags (-O2, hardening), as Debian builds its packages.
cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=None -DNORVANE_BUILD_TESTS=OFF \
    -DNORVANE_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) -DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$dir" -j"$(nproc)"
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB)
ls "$dir"/package/norvane_*.deb
