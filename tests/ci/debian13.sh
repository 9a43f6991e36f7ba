#!/usr/bin/env bash
# The README's commands as a new user on Debian 13 meets them: makes a fresh Debian 13 root
# with debootstrap from the mirror this machine's apt uses, copies the checkout into it and
# runs there, as root with a clean environment and no locale set, the test command (Debug and
# Release), the benchmarks once each, the package test and the Windows build with its import
# checks and Wine tests.
# Everything started inside the root is ended and everything mounted is unmounted on every
# way out; the root itself is removed afterwards unless NORVANE_KEEP_ROOT=1.
# Needs root and about 6 GB free under NORVANE_DEBIAN13_DIR (/var/tmp/norvane-debian13).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$ROOT/scripts/common.sh"

target=${NORVANE_DEBIAN13_DIR:-/var/tmp/norvane-debian13}
need_mib=6144

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "making a Debian root needs root"
install_missing debootstrap debian-archive-keyring

# The first Debian mirror apt is set up with (deb822 or one-line sources).
mirror_url() {
    local url
    url=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk '/^URIs:/ {print $2}' | grep -E '/debian/?$' | head -n 1) || true
    [ -n "$url" ] || url=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk '$1 == "deb" {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {print $i; break}}' |
        grep -E '/debian/?$' | head -n 1) || true
    echo "${url:-http://deb.debian.org/debian}"
}

# Ends every process whose root is inside the Debian root, then unmounts all below it.
release_root() {
    local proc pid
    [ -d "$target" ] || return 0
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        case "$(readlink "$proc/root" 2>/dev/null)" in
            "$target" | "$target"/*) kill -9 "$pid" 2>/dev/null || true ;;
        esac
    done
    sleep 0.5
    # Deepest first; lazily where something still holds a mount.
    { findmnt -rn -o TARGET | grep -E "^$target(/|$)" || true; } | sort -r | while read -r mnt; do
        umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null || true
    done
    if findmnt -rn -o TARGET | grep -qE "^$target(/|$)"; then
        echo "FAIL: mounts are left below $target" >&2
        return 1
    fi
}

finish() {
    local rc=$?
    trap - EXIT INT TERM HUP
    [ "$rc" -eq 0 ] || echo "Debian 13 run failed (status $rc)" >&2
    release_root || rc=1
    if [ "${NORVANE_KEEP_ROOT:-0}" != 1 ] && [ -d "$target" ] &&
        ! findmnt -rn -o TARGET | grep -qE "^$target(/|$)"; then
        rm -rf --one-file-system "$target"
    fi
    exit "$rc"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

release_root
rm -rf --one-file-system "$target"
mkdir -p "$(dirname "$target")"
free_mib=$(df -Pm "$(dirname "$target")" | awk 'NR == 2 {print $4}')
[ "$free_mib" -ge "$need_mib" ] ||
    fail "the Debian 13 root needs about $need_mib MB free in $(dirname "$target"); $free_mib MB are"

mirror=$(mirror_url)
log=$(dirname "$target")/norvane-debootstrap-trixie.log
echo "== debootstrap trixie from $mirror"
debootstrap --variant=minbase trixie "$target" "$mirror" >"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; fail "debootstrap trixie failed"; }
printf 'deb %s trixie main\ndeb %s trixie-updates main\n' "$mirror" "$mirror" \
    >"$target/etc/apt/sources.list"

# The root is a mount point of its own (the network test needs / to be one), with the
# kernel's file systems and a /run and /tmp of its own; nothing mounted here reaches back.
mount --bind "$target" "$target"
mount --make-private "$target"
mount -t proc proc "$target/proc"
mount --rbind /sys "$target/sys"
mount --make-rslave "$target/sys"
mount --rbind /dev "$target/dev"
mount --make-rslave "$target/dev"
mount -t tmpfs -o mode=755 tmpfs "$target/run"
mount -t tmpfs -o mode=1777 tmpfs "$target/tmp"
cp /etc/resolv.conf "$target/etc/resolv.conf" 2>/dev/null || true

# The checkout as it is (tracked and new files), without build folders.
mkdir -p "$target/work/norvane"
(cd "$ROOT" && git ls-files -z --cached --others --exclude-standard |
    tar --null -T - -cf - 2>/dev/null) | tar -xf - -C "$target/work/norvane"

in_root() {
    env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        TERM=dumb CI="${CI:-}" chroot "$target" bash -c "cd /work/norvane && $1"
}

step() {
    echo "== Debian 13: $1"
    in_root "$2" || fail "Debian 13: $1"
}
step "the README's test command" "bash scripts/test.sh"
step "the test command, Release" "NORVANE_BUILD_TYPE=Release bash scripts/test.sh"
step "the benchmarks, once each" \
    "NORVANE_BENCH_BUILD=build-release NORVANE_BENCH_SMOKE=1 bash scripts/bench.sh"
step "the package test" "timeout 1800 bash tests/dist/package_test.sh"
step "the Windows program and its tests under Wine" "bash scripts/test-windows.sh"
echo "== Debian 13: all passed"
