#!/usr/bin/env bash
# Start-up of the program to its first painted window, with an empty profile.dat and with one
# of 10 profiles, against a Qt window holding one line of Japanese text in the same fonts,
# started the same way in the same run: ROUNDS (10 unless set) of each, alternating, on a
# virtual display of their own. Prints the medians of wall-clock and CPU time and the ratios.
#   bench/startup/run.sh BUILD_FOLDER   (a Release build with -DNORVANE_BUILD_BENCHMARKS=ON)
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
rounds=${ROUNDS:-10}
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
mkdir -m 700 "$work/runtime"
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$work/empty" "$work/ten"
: > "$work/empty/profile.dat"
for i in $(seq 10); do
    printf 'office%d,eth0,192.168.1.%d,255.255.255.0,192.168.1.1,192.168.1.1,,,0\r\n' "$i" "$i"
done > "$work/ten/profile.dat"
measure() {  # name folder program: one round
    (cd "$2" && "$build/bench/first_paint" "$3") | sed "s/^/$1 /" >> "$work/times"
}
measure warm-up "$work/empty" "$build/bench/reference_window" > /dev/null
: > "$work/times"
for _ in $(seq "$rounds"); do
    measure reference "$work/empty" "$build/bench/reference_window"
    measure empty "$work/empty" "$build/norvane"
    measure ten "$work/ten" "$build/norvane"
done
median() {  # name column: the median of that column of the rounds of that name
    awk -v n="$1" -v c="$2" '$1 == n { print $c }' "$work/times" | sort -n |
        awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
ref_wall=$(median reference 2)
ref_cpu=$(median reference 3)
printf '%-28s%9s%7s%9s%7s\n' window "wall ms" ratio "CPU ms" ratio
for row in "reference:reference (one line)" "empty:Norvane, empty profile.dat" \
    "ten:Norvane, 10 profiles"; do
    wall=$(median "${row%%:*}" 2)
    cpu=$(median "${row%%:*}" 3)
    awk -v l="${row#*:}" -v w="$wall" -v rw="$ref_wall" -v c="$cpu" -v rc="$ref_cpu" \
        'BEGIN { printf "%-28s%9.1f%7.2f%9.1f%7.2f\n", l, w, w / rw, c, c / rc }'
done
echo "$rounds rounds each, medians"
