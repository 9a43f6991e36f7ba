# Shared by run.sh and test.sh: install what is missing, then configure and build.
# Source it; do not run it.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages the build, the program and its tests use.
BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev qt6-svg-dev libgl-dev libsystemd-dev
    googletest libgtest-dev libgmock-dev)
RUN_PACKAGES=(fonts-ipafont-gothic fonts-ipafont-mincho xdg-utils network-manager xvfb xauth)
TEST_PACKAGES=(fonts-ipafont-gothic fonts-ipafont-mincho iproute2 dbus-daemon network-manager dnsmasq-base)
# Building the Debian package: dpkg-shlibdeps (dpkg-dev) and file find the libraries the
# program links.
PACKAGE_PACKAGES=(dpkg-dev file)
BENCH_PACKAGES=(libbenchmark-dev libx11-dev xvfb fonts-ipafont-gothic fonts-ipafont-mincho)
# Unversioned: clang 14 on Debian 12, clang 19 on Debian 13.
FUZZ_PACKAGES=(clang libclang-rt-dev)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: ${missing[*]} (run as root, or install them first)" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    # Package scripts must not start services (network-manager would take over the host's
    # interfaces on a machine where it was not running before). The blocker goes again on
    # every way out of the install (a failure, a held dpkg lock, Ctrl-C): left behind, it
    # would keep every service on the machine from starting.
    (
        if [ ! -e /usr/sbin/policy-rc.d ]; then
            trap 'rm -f /usr/sbin/policy-rc.d' EXIT
            trap 'exit 130' INT TERM HUP
            printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
            chmod +x /usr/sbin/policy-rc.d
        fi
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q
        apt-get install -y -q --no-install-recommends "${missing[@]}"
    )
}

# The scripts' own tools (xdotool typing Japanese, the tests' file names) need a UTF-8
# locale; a fresh machine or container often has none set. C.UTF-8 is always there.
use_utf8_locale() {
    case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
        *UTF-8* | *utf8* | *UTF8* | *utf-8*) ;;
        *) export LC_ALL=C.UTF-8 ;;
    esac
}

# build DIR [cmake options...]  (NORVANE_BUILD_TYPE: Debug unless set)
build() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="${NORVANE_BUILD_TYPE:-Debug}" "$@"
    cmake --build "$dir" -j"$(nproc)"
}
