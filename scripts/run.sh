#!/usr/bin/env bash
# Installs what is missing, builds, and starts Norvane in the current directory (where its
# profile.dat lives). Without a display it starts on a virtual one.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
build "$ROOT/build" -DNORVANE_BUILD_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting on a virtual one (xvfb-run)." >&2
    exec xvfb-run -a "$ROOT/build/norvane"
fi
exec "$ROOT/build/norvane"
