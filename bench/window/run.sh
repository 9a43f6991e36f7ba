#!/usr/bin/env bash
# The real Qt window driven through its commands (bench/window/window_bench.cpp) at 1,000,
# 10,000 and 100,000 profiles, on a virtual display of its own: opening the profile list (the
# first time), choosing a profile, Save over a name (OK), Save of a new name, Delete (Yes), each
# from the input event to the window updated. With a second build folder its window (the
# baseline) runs too, its rounds interleaved with the first. Prints the medians of wall-clock
# and CPU time per command and size, and the growth of CPU time from 10,000 to 100,000.
#   bench/window/run.sh BUILD [BASELINE_BUILD]   (Release builds, -DNORVANE_BUILD_BENCHMARKS=ON)
# ROUNDS: rounds of each (5 unless set); SIZES: the profile counts.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
baseline=${2:+$(cd "$2" && pwd)}
rounds=${ROUNDS:-5}
sizes=${SIZES:-1000 10000 100000}
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
mkdir -m 700 "$work/runtime" "$work/folder"
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
: > "$work/times"
builds=("after:$build")
[ -n "$baseline" ] && builds+=("before:$baseline")
for _ in $(seq "$rounds"); do
    for n in $sizes; do
        for b in "${builds[@]}"; do
            (cd "$work/folder" && "${b#*:}/bench/window_bench" "$n" 1) |
                sed "s/^/${b%%:*} $n /" >> "$work/times"
        done
    done
done
median() {  # build size command column
    awk -v b="$1" -v n="$2" -v c="$3" -v k="$4" '$1 == b && $2 == n && $3 == c { print $k }' \
        "$work/times" | sort -n |
        awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
printf '%-10s%9s%11s%10s' command profiles "wall ms" "CPU ms"
[ -n "$baseline" ] && printf '%15s%15s%9s' "baseline wall" "baseline CPU" "CPU /b"
echo
for c in open choose save_over save_new delete; do
    for n in $sizes; do
        w=$(median after "$n" "$c" 4)
        u=$(median after "$n" "$c" 5)
        printf '%-10s%9s%11.1f%10.1f' "$c" "$n" "$w" "$u"
        if [ -n "$baseline" ]; then
            bw=$(median before "$n" "$c" 4)
            bu=$(median before "$n" "$c" 5)
            awk -v bw="$bw" -v bu="$bu" -v u="$u" 'BEGIN { printf "%15.1f%15.1f%9.2f", bw, bu, u / bu }'
        fi
        echo
    done
    if [[ " $sizes " == *" 10000 "* && " $sizes " == *" 100000 "* ]]; then
        awk -v a="$(median after 10000 "$c" 5)" -v b="$(median after 100000 "$c" 5)" -v c="$c" \
            'BEGIN { printf "%-10s CPU growth from 10,000 to 100,000: %.1f times\n", c, b / a }'
    fi
done
echo "$rounds rounds each, medians"
