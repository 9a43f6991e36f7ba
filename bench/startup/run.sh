#!/usr/bin/env bash
# Start-up of the program to its first painted window with an empty profile.dat and with one of
# 10, 1,000, 10,000 and 100,000 profiles, against a Qt window holding one line of Japanese text
# (the reference) and the plain window built from the same form table without the program, all
# started the same way in the same run: ROUNDS (10 unless set) of each, interleaved, on a
# virtual display of their own. With a second build folder, its program (the baseline, e.g. the
# program before a change) runs in the same rounds. Prints the medians of wall-clock time, CPU
# time and peak memory, and the ratios to the reference and to the plain window.
#   bench/startup/run.sh BUILD [BASELINE_BUILD]   (Release builds, -DNORVANE_BUILD_BENCHMARKS=ON)
# SIZES: the profile counts (default "0 10 1000 10000 100000").
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
baseline=${2:+$(cd "$2" && pwd)}
rounds=${ROUNDS:-10}
sizes=${SIZES:-0 10 1000 10000 100000}
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
mkdir -m 700 "$work/runtime"
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$work/p0"  # where the reference and the plain window start
for n in $sizes; do
    mkdir -p "$work/p$n"
    (cd "$work/p$n" && "$build/bench/window_bench" --write "$n")
done
measure() {  # name folder program: one round
    (cd "$2" && "$build/bench/first_paint" "$3") | sed "s/^/$1 /" >> "$work/times"
}
measure warm-up "$work/p0" "$build/bench/reference_window" > /dev/null
: > "$work/times"
for _ in $(seq "$rounds"); do
    measure reference "$work/p0" "$build/bench/reference_window"
    measure plain "$work/p0" "$build/bench/plain_window"
    for n in $sizes; do
        measure "n$n" "$work/p$n" "$build/norvane"
        if [ -n "$baseline" ]; then
            measure "b$n" "$work/p$n" "$baseline/norvane"
        fi
    done
done
median() {  # name column: the median of that column of the rounds of that name
    awk -v n="$1" -v c="$2" '$1 == n { print $c }' "$work/times" | sort -n |
        awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
ref_wall=$(median reference 2)
ref_cpu=$(median reference 3)
plain_wall=$(median plain 2)
plain_cpu=$(median plain 3)
printf '%-34s%9s%7s%7s%9s%7s%7s%9s\n' window "wall ms" "/ref" "/plain" "CPU ms" "/ref" "/plain" \
    "peak MiB"
rows=("reference:reference (one line)" "plain:plain window (form table)")
for n in $sizes; do
    rows+=("n$n:Norvane, $n profiles")
    [ -n "$baseline" ] && rows+=("b$n:baseline, $n profiles")
done
for row in "${rows[@]}"; do
    name=${row%%:*}
    awk -v l="${row#*:}" -v w="$(median "$name" 2)" -v c="$(median "$name" 3)" \
        -v m="$(median "$name" 4)" -v rw="$ref_wall" -v rc="$ref_cpu" -v pw="$plain_wall" \
        -v pc="$plain_cpu" 'BEGIN { printf "%-34s%9.1f%7.2f%7.2f%9.1f%7.2f%7.2f%9.1f\n",
            l, w, w / rw, w / pw, c, c / rc, c / pc, m }'
done
echo "$rounds rounds each, medians"
