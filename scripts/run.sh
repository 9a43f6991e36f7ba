#!/usr/bin/env bash
# Installs what is missing, builds, and starts Norvane as the desktop's menu does: in the
# user's data folder ($XDG_DATA_HOME/norvane, by default ~/.local/share/norvane), where its
# profile.dat lives, so that nothing is left in the checkout. Without a display it starts
# on a virtual one that nobody sees, and runs until Ctrl-C.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
build "$ROOT/build" -DNORVANE_BUILD_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: Norvane runs on a virtual one (xvfb-run) that nobody sees; Ctrl-C ends it." >&2
    exec xvfb-run -a "$ROOT/build/norvane-launcher"
fi
exec "$ROOT/build/norvane-launcher"
