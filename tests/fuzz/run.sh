#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UBSan (build-fuzz), and
# runs each for FUZZ_SECONDS seconds (20 unless set), starting from its seeds in
# tests/fuzz/corpus/. The inputs it finds are kept in build-fuzz/corpus, not in the
# repository; an input that breaks a target is left in build-fuzz/findings and fails the run.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
install_missing "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
dir="$ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNORVANE_BUILD_TESTS=OFF -DNORVANE_BUILD_FUZZERS=ON
targets=(load cp932 script cmd)
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
mkdir -p "$dir/findings"
status=0
for target in "${targets[@]}"; do
    corpus="$dir/corpus/$target"
    mkdir -p "$corpus"
    echo "== fuzz_$target for ${FUZZ_SECONDS:-20} s"
    # Absolute paths: the targets that use files work in a folder of their own.
    if ! "$dir/tests/fuzz/fuzz_$target" -max_total_time="${FUZZ_SECONDS:-20}" -max_len=4096 \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$dir/findings/$target-" \
        "$corpus" "$ROOT/tests/fuzz/corpus/$target" 2>"$dir/fuzz_$target.log"; then
        status=1
        tail -n 40 "$dir/fuzz_$target.log"
    fi
    grep -E 'stat::number_of_executed_units' "$dir/fuzz_$target.log" || true
done
exit $status
