#!/usr/bin/env bash
# Installs what is missing, builds the Release benchmarks (build-bench) and runs them all:
# - the store: load, Save and Delete at 1,000, 10,000 and 100,000 profiles, three times each,
#   medians shown (extra arguments go to it, for example --benchmark_filter=load);
# - the start-up to the first painted window with 0 to 100,000 profiles, against a Qt window
#   with one line of Japanese text and the plain window built from the same form table;
# - the real Qt window driven through its commands at 1,000, 10,000 and 100,000 profiles;
# - the Windows program's start-up under Wine against a minimal Win32 window and the plain
#   Win32 window (cross-built into build-bench-windows; 64-bit where Wine's 32-bit loader
#   cannot start).
# NORVANE_BENCH_BASELINE, NORVANE_BENCH_BASELINE_WINDOWS: build folders of another version (the
# same options) whose programs run beside these in the same rounds.
# NORVANE_BENCH_SMOKE=1 (CI): the Linux benchmarks built into the Release build folder given in
# NORVANE_BENCH_BUILD (its other options kept) and each run once at a small size, so that they
# keep building and running; no figure from it means anything.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
smoke=${NORVANE_BENCH_SMOKE:-0}
if [ "$smoke" = 1 ]; then
    dir=$(cd "${NORVANE_BENCH_BUILD:?a Release build folder}" && pwd)
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_BENCHMARKS=ON
else
    dir="$ROOT/build-bench"
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_TESTS=OFF \
        -DNORVANE_BUILD_BENCHMARKS=ON
fi
cmake --build "$dir" -j"$(nproc)" --target store_bench first_paint reference_window \
    plain_window window_bench norvane
if [ "$smoke" = 1 ]; then
    "$dir/bench/store_bench" --benchmark_filter='/1000$'
    ROUNDS=1 SIZES=10 bash "$ROOT/bench/startup/run.sh" "$dir"
    ROUNDS=1 SIZES=1000 bash "$ROOT/bench/window/run.sh" "$dir"
    exit 0
fi
"$dir/bench/store_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_display_aggregates_only=true "$@"
baseline=${NORVANE_BENCH_BASELINE:-}
echo "--- start-up"
bash "$ROOT/bench/startup/run.sh" "$dir" ${baseline:+"$baseline"}
echo "--- the window's commands"
bash "$ROOT/bench/window/run.sh" "$dir" ${baseline:+"$baseline"}

echo "--- the Windows program under Wine"
install_missing g++-mingw-w64-i686 binutils-mingw-w64-i686 wine
arch=i686
if ! wine --version > /dev/null 2>&1; then
    install_missing g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
    arch=x86_64
fi
windows="$ROOT/build-bench-windows-$arch"
cmake -S "$ROOT" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
    -DNORVANE_MINGW_ARCH="$arch" -DNORVANE_MINGW_THREADS=win32 -DCMAKE_BUILD_TYPE=Release \
    -DNORVANE_BUILD_TESTS=OFF -DNORVANE_BUILD_BENCHMARKS=ON
cmake --build "$windows" -j"$(nproc)" --target norvane plain_window_win32 minimal_window_win32
bash "$ROOT/bench/win32/run.sh" "$windows" ${NORVANE_BENCH_BASELINE_WINDOWS:-} "$dir"
