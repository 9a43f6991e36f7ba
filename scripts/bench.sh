#!/usr/bin/env bash
# Installs what is missing, builds the Release benchmarks (build-bench) and runs them: load,
# Save and Delete at 1,000, 10,000 and 100,000 profiles, three times each, medians shown; then
# the program's start-up to its first painted window against a Qt window with one line of
# Japanese text, on a virtual display. Extra arguments go to the store's benchmark (for
# example --benchmark_filter=load).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
dir="$ROOT/build-bench"
cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_TESTS=OFF \
    -DNORVANE_BUILD_BENCHMARKS=ON
cmake --build "$dir" -j"$(nproc)" --target store_bench first_paint reference_window norvane
"$dir/bench/store_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_display_aggregates_only=true "$@"
bash "$ROOT/bench/startup/run.sh" "$dir"
