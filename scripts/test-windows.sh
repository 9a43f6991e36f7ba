#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows program and its tests, and runs them under
# Wine on a virtual display: the core's tests, the Windows host side's tests, the import check,
# and the program itself driven from another process with Wine set to Windows XP, 2000, 10 and
# NT 4.0 (64-bit builds under 64-bit Wine where Wine cannot start 32-bit programs). Ends with
# "N passed, N failed" (one per step) and exits non-zero on any failure.
# NORVANE_WINDOWS_BUILD_DIR: the program's build folder (build-windows unless set); the tests
# are built in the same name with "-tests".
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
program_build=${NORVANE_WINDOWS_BUILD_DIR:-$ROOT/build-windows}
tests_build=$program_build-tests

if [ "${1:-}" != --inside-display ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        [ "$(id -u)" -eq 0 ] || { echo "wine32 needs the i386 architecture: run as root" >&2; exit 1; }
        dpkg --add-architecture i386
        apt-get update -q
    fi
    install_missing cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest wine wine32 \
        fonts-wine fonts-ipafont-gothic fonts-ipafont-mincho locales xvfb xauth
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
        [ "$(id -u)" -eq 0 ] || { echo "the ja_JP.UTF-8 locale is missing: run as root" >&2; exit 1; }
        sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen
    fi

    # The program as users get it (win32 thread model, its imports checked), and the tests
    # (posix thread model).
    bash "$ROOT/scripts/build-windows.sh"
    # Wine starts 32-bit Windows programs with its 32-bit loader, a 32-bit Linux program, which
    # a kernel without 32-bit support (started with ia32_emulation=off) cannot run. There the
    # tests, the program beside them and the driver are built for 64-bit Windows and run under
    # 64-bit Wine: the same sources and steps, but not the 32-bit program itself.
    export NORVANE_WINE_ARCH=i686
    if ! wine --version > /dev/null 2>&1; then
        echo "Wine's 32-bit loader cannot start here ($(wine --version 2>&1 | tail -n 1))." >&2
        echo "Testing a 64-bit build of the same sources under 64-bit Wine instead." >&2
        install_missing g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
        NORVANE_WINE_ARCH=x86_64
    fi
    cmake -S "$ROOT" -B "$tests_build-$NORVANE_WINE_ARCH" \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" -DNORVANE_MINGW_THREADS=posix \
        -DNORVANE_MINGW_ARCH="$NORVANE_WINE_ARCH" -DCMAKE_BUILD_TYPE=Debug -DNORVANE_BUILD_TESTS=ON
    cmake --build "$tests_build-$NORVANE_WINE_ARCH" -j"$(nproc)"
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside-display
fi

# --- on the virtual display
set +e
tests_build=$tests_build-${NORVANE_WINE_ARCH:-i686}
export LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEARCH=win32
export WINEPREFIX="$tests_build/wine-prefix"
out="$tests_build/wine-runs"
tests="$tests_build/tests"
program="$program_build/norvane.exe"
if [ "${NORVANE_WINE_ARCH:-i686}" = x86_64 ]; then
    # Debian's wine and its tools start the 32-bit loader whenever it is installed.
    WINEARCH=win64
    program="$tests_build/norvane.exe"
    mkdir -p "$tests_build/wine64-bin"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
        > "$tests_build/wine64-bin/wine"
    printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' > "$tests_build/wine64-bin/wineserver"
    for tool in wineboot winepath; do
        printf '#!/bin/sh\nexec "%s/wine" %s "$@"\n' "$tests_build/wine64-bin" "$tool" \
            > "$tests_build/wine64-bin/$tool"
    done
    chmod +x "$tests_build"/wine64-bin/*
    export PATH="$tests_build/wine64-bin:$PATH"
fi
passed=0
failed=0
started=$(date +%s)

step() {  # name command...: runs a step, logs its output, counts it
    local name=$1
    shift
    local t0
    t0=$(date +%s)
    "$@" > "$out/$name.log" 2>&1
    local rc=$?
    if [ $rc -eq 0 ]; then
        passed=$((passed + 1))
        echo "ok   $name ($(( $(date +%s) - t0 )) s)"
    else
        failed=$((failed + 1))
        echo "FAIL $name (exit $rc)"
        tail -n 40 "$out/$name.log" | sed 's/^/    /'
    fi
}

set_version() {
    wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f > /dev/null 2>&1
}

# A folder holding only the program (and the driver), with profile.dat when given.
fresh_folder() {  # name [profile.dat bytes]
    local dir="$out/$1"
    rm -rf "$dir" && mkdir -p "$dir"
    cp "$program" "$tests/win32/program_driver.exe" "$dir/"
    [ $# -ge 2 ] && printf '%b' "$2" > "$dir/profile.dat"
    rm -f "$WINEPREFIX/drive_c/netsh_log.txt"
    echo "$dir"
}

drive() {  # folder arguments...: the driver in the folder
    local dir=$1
    shift
    (cd "$dir" && wine program_driver.exe "$@")
}

[ -d "$WINEPREFIX" ] && wineserver -k > /dev/null 2>&1  # a previous run's, if still there
mountpoint -q "$out/small-disk" 2> /dev/null && umount "$out/small-disk"
rm -rf "$WINEPREFIX" "$out"
mkdir -p "$out"
echo "Wine prefix ($WINEARCH, fresh)"
wineboot -i > "$out/wineboot.log" 2>&1
cat > "$out/setup.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"netsh.exe"="native"
REG
wine regedit /S "$(winepath -w "$out/setup.reg")" > /dev/null 2>&1
# Wine's netsh is a stub: the recording stand-in takes its place.
cp "$tests/win32/netsh_recorder.exe" "$WINEPREFIX/drive_c/windows/system32/netsh.exe"
set_version winxp

# "ローカル" with three DNS servers, then "DHCP（自動）", in code page 932 with CR LF.
lan='\x83\x8d\x81\x5b\x83\x4a\x83\x8b\x20\x83\x47\x83\x8a\x83\x41\x90\xda\x91\xb1'
profiles="\x83\x8d\x81\x5b\x83\x4a\x83\x8b,$lan,192.168.0.10,255.255.255.0,192.168.0.1,192.168.0.1,192.168.0.2,192.168.0.3,0\r\nDHCP\x81\x69\x8e\xa9\x93\xae\x81\x6a,$lan,,,,,,,1\r\n"

step import-list-formats bash "$ROOT/tests/scripts/check_windows_imports_test.sh"
step import-check bash "$ROOT/scripts/check-windows-imports.sh" "$program_build/norvane.exe"
step core-tests wine "$tests/core_tests.exe"
# A small file system for the full-disk test (mounting needs root; skipped otherwise).
small="$out/small-disk"
mkdir -p "$small"
small_env=()
if mount -t tmpfs -o size=64k tmpfs "$small" 2> /dev/null; then
    small_env=(NORVANE_SMALL_DISK="$(winepath -w "$small")")
fi
step host-tests-winxp env NORVANE_EXPECT_VERSION=5.1 NORVANE_EXPECT_OEMCP=932 "${small_env[@]}" \
    wine "$tests/host_tests.exe"
mountpoint -q "$small" && umount "$small"
# Under the C locale Wine's console code page is 437: a Japanese name cannot go into a script.
step host-tests-console-437 env LC_ALL=C.UTF-8 NORVANE_EXPECT_OEMCP=437 \
    wine "$tests/host_tests.exe" --gtest_filter='code_pages_win32.*'
wineserver -w > /dev/null 2>&1
step program-winxp drive "$(fresh_folder program-winxp "$profiles")" open norvane.exe
step command-line-winxp drive "$(fresh_folder command-line-winxp "$profiles")" command norvane.exe
set_version win2k
step host-tests-win2k env NORVANE_EXPECT_VERSION=5.0 wine "$tests/host_tests.exe" \
    --gtest_filter='version_win32.*:shell_win32.*'
step program-win2k drive "$(fresh_folder program-win2k "$profiles")" open norvane.exe
step command-line-win2k drive "$(fresh_folder command-line-win2k "$profiles")" command norvane.exe
set_version win10
step program-win10 drive "$(fresh_folder program-win10)" refuse norvane.exe Unknown
set_version nt40
step program-nt40 drive "$(fresh_folder program-nt40)" refuse norvane.exe "Windows NT 4.0"
wineserver -k > /dev/null 2>&1

echo "Windows tests: $(( $(date +%s) - started )) s; logs in $out"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
