#!/bin/bash
# Submit beside the least a shell script does for a verified change, in the same private
# NetworkManager (tests/e2e/nm_sandbox.sh, as root): rounds interleaved, each applying a static
# profile with three DNS servers whose address differs from the one before.
#   submit:   the program's own code from the click on: the settings read before the change,
#             the script written, norvane-cmd and its nmcli calls, the settings read back until
#             they show, the box decided (netconfig_e2e_driver static|other)
#   baseline: nmcli connection modify …; nmcli connection up …; then nmcli -t connection show
#             until the address shows
#   before:   with NORVANE_BENCH_BASELINE naming the build folder of another version (its tests
#             built), that version's Submit, the same way
# Prints each run's wall and CPU time (user + system of the process and everything it waited
# for) and the medians. Usage: run.sh [BUILD_DIR] [ROUNDS]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(realpath "${1:-$root/build}")
rounds=${2:-9}
[ -x "$build/netconfig_e2e_driver" ] || { echo "no $build/netconfig_e2e_driver: build the tests" >&2; exit 1; }

if [ "${3:-}" != --inside ]; then
    out=$(mktemp)
    before=${NORVANE_BENCH_BASELINE:+$(realpath "$NORVANE_BENCH_BASELINE")}
    if [ -n "$before" ] && [ ! -x "$before/netconfig_e2e_driver" ]; then
        echo "no $before/netconfig_e2e_driver: build the other version's tests" >&2
        exit 1
    fi
    NORVANE_E2E_INSTEAD="bash $here/run.sh $build $rounds --inside $out ${before:--}" \
        bash "$root/tests/e2e/nm_sandbox.sh" "$build/netconfig_e2e_driver" "$build/bench-submit"
    status=$?
    cat "$out"
    rm -f "$out"
    exit "$status"
fi
out=$4
before=$5
[ "$before" = - ] && before=
con=$6

baseline() {  # baseline ADDRESS
    nmcli connection modify id "$con" ipv4.method manual ipv4.addresses "$1/24" ipv4.gateway "" \
        ipv4.routes "0.0.0.0/0 192.0.2.1 1" ipv4.dns 192.0.2.53,192.0.2.54,192.0.2.55 \
        ipv4.ignore-auto-dns yes &&
        nmcli connection up id "$con" >/dev/null &&
        until nmcli -t -f IP4.ADDRESS connection show id "$con" | grep -q ":$1/24\$"; do
            sleep 0.1
        done
}
submit() {  # submit static|other
    "$build/netconfig_e2e_driver" "$1" >/dev/null
}
before() {  # before static|other
    "$before/netconfig_e2e_driver" "$1" >/dev/null
}

TIMEFORMAT='%R %U %S'
measure() {  # measure NAME COMMAND...: appends "NAME wall cpu" (seconds) to $out.times
    local t
    t=$( { time "${@:2}" >/dev/null 2>&1; } 2>&1) || { echo "$1 failed" >&2; return 1; }
    awk -v name="$1" '{ printf "%s %.3f %.3f\n", name, $1, $2 + $3 }' <<<"$t" >>"$out.times"
}
rm -f "$out.times"
names="submit baseline${before:+ before}"
for i in $(seq "$rounds"); do
    # Every run changes the address: Submit and before .10 or .30, the shell script .20 or .40;
    # which of the two programs runs first alternates.
    if [ $((i % 2)) -eq 1 ]; then
        measure submit submit static && measure baseline baseline 192.0.2.20 &&
            { [ -z "$before" ] || measure before before other; }
    else
        { [ -z "$before" ] || measure before before static; } &&
            measure baseline baseline 192.0.2.40 && measure submit submit other
    fi || exit 1
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
{
    cat "$out.times"
    for name in $names; do
        wall=$(awk -v n=$name '$1 == n { print $2 }' "$out.times" | median)
        cpu=$(awk -v n=$name '$1 == n { print $3 }' "$out.times" | median)
        echo "median $name: wall ${wall} s, cpu ${cpu} s"
    done
} >"$out"
rm -f "$out.times"
