#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. NORVANE_SANITIZE=1 builds with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan instead; NORVANE_BUILD_TYPE=Release
# builds optimised in build-release.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
use_utf8_locale
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
if [ "${NORVANE_SANITIZE:-0}" = 1 ]; then
    dir="$ROOT/build-asan"
    build "$dir" -DNORVANE_SANITIZE=ON -DNORVANE_BUILD_TESTS=ON
elif [ "${NORVANE_BUILD_TYPE:-Debug}" = Release ]; then
    dir="$ROOT/build-release"
    build "$dir" -DNORVANE_SANITIZE=OFF -DNORVANE_BUILD_TESTS=ON
else
    dir="$ROOT/build"
    build "$dir" -DNORVANE_SANITIZE=OFF -DNORVANE_BUILD_TESTS=ON
fi
cd "$dir"
ctest --output-on-failure -j"$(nproc)"
