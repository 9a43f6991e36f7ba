#!/usr/bin/env bash
# The Windows program's start-up under Wine, to its client area painted, with 10 and 10,000
# profiles, against a minimal Win32 window holding one line of Japanese text and the plain
# window built from the same form table without the program, all started the same way in the
# same run: ROUNDS (10 unless set) of each, interleaved, on a virtual display of their own, in a
# fresh Wine prefix whose server keeps running between the rounds. With a second build folder
# its norvane.exe (the baseline) runs in the same rounds. CPU time is the program's and the Wine
# server's meanwhile. Prints medians and the ratios to the minimal and the plain window.
#   bench/win32/run.sh WINDOWS_BUILD [BASELINE_WINDOWS_BUILD] LINUX_BENCH_BUILD
# The Windows builds: cross-built with -DNORVANE_BUILD_BENCHMARKS=ON (64-bit, for 64-bit Wine,
# where this machine's kernel cannot start Wine's 32-bit loader); the Linux build gives
# bench/first_paint.
set -euo pipefail
windows=$(cd "${1:?Windows build folder}" && pwd)
if [ $# -ge 3 ]; then
    baseline=$(cd "$2" && pwd)
    linux=$(cd "$3" && pwd)
else
    baseline=
    linux=$(cd "${2:?Linux build folder}" && pwd)
fi
rounds=${ROUNDS:-10}
sizes=${SIZES:-10 10000}
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
if ! wine --version > /dev/null 2>&1; then
    # No 32-bit loader here: 64-bit Wine, whose tools Debian's wine would start with the
    # 32-bit loader whenever that is installed.
    mkdir -p "$work/bin"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
        > "$work/bin/wine"
    printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' > "$work/bin/wineserver"
    chmod +x "$work/bin/wine" "$work/bin/wineserver"
    export PATH="$work/bin:$PATH"
fi
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
# The server stays for the whole run (it needs the prefix's folder to start in), so that its
# CPU time can be counted and no round pays for starting it.
mkdir -p "$WINEPREFIX"
wineserver -f -p &
server=$!
wine wineboot -i > "$work/wineboot.log" 2>&1
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n' \
    > "$work/setup.reg"
wine regedit /S "$(wine winepath -w "$work/setup.reg" 2>/dev/null)" > /dev/null 2>&1
# The program runs on Windows 2000 and XP only; elsewhere it refuses with a message box.
wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f > /dev/null 2>&1
for n in $sizes; do
    mkdir -p "$work/p$n"
    awk -v n="$n" 'BEGIN { for (i = 0; i < n; i++) printf \
        "プロファイル%06d,ローカル エリア接続,192.168.1.%d,255.255.255.0,192.168.1.1,192.168.1.1,8.8.8.8,,0\r\n", \
        i, i % 250 + 2 }' | iconv -f UTF-8 -t CP932 > "$work/p$n/profile.dat"
    cp "$windows/norvane.exe" "$work/p$n/"
    [ -n "$baseline" ] && cp "$baseline/norvane.exe" "$work/p$n/norvane-baseline.exe"
done
mkdir -p "$work/empty"
cp "$windows/bench/minimal_window_win32.exe" "$windows/bench/plain_window_win32.exe" "$work/empty/"
measure() {  # name folder program: one round
    (cd "$2" && "$linux/bench/first_paint" --middle --also "$server" wine "$3") |
        sed "s/^/$1 /" >> "$work/times"
}
measure warm-up "$work/empty" minimal_window_win32.exe > /dev/null
: > "$work/times"
for _ in $(seq "$rounds"); do
    measure minimal "$work/empty" minimal_window_win32.exe
    measure plain "$work/empty" plain_window_win32.exe
    for n in $sizes; do
        measure "n$n" "$work/p$n" norvane.exe
        [ -n "$baseline" ] && measure "b$n" "$work/p$n" norvane-baseline.exe
    done
done
median() {  # name column
    awk -v n="$1" -v c="$2" '$1 == n { print $c }' "$work/times" | sort -n |
        awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
min_wall=$(median minimal 2)
min_cpu=$(median minimal 3)
plain_wall=$(median plain 2)
plain_cpu=$(median plain 3)
printf '%-34s%9s%7s%7s%9s%7s%7s\n' window "wall ms" "/min" "/plain" "CPU ms" "/min" "/plain"
rows=("minimal:minimal Win32 window" "plain:plain window (form table)")
for n in $sizes; do
    rows+=("n$n:norvane.exe, $n profiles")
    [ -n "$baseline" ] && rows+=("b$n:baseline, $n profiles")
done
for row in "${rows[@]}"; do
    name=${row%%:*}
    awk -v l="${row#*:}" -v w="$(median "$name" 2)" -v c="$(median "$name" 3)" \
        -v rw="$min_wall" -v rc="$min_cpu" -v pw="$plain_wall" -v pc="$plain_cpu" \
        'BEGIN { printf "%-34s%9.1f%7.2f%7.2f%9.1f%7.2f%7.2f\n", l, w, w / rw, w / pw, c, c / rc, c / pc }'
done
echo "$rounds rounds each, medians ($(wine --version 2>/dev/null))"
