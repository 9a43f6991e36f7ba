#!/bin/bash
# Submit beside the least a shell script does for a verified change, in the same private
# NetworkManager (tests/e2e/nm_sandbox.sh, as root): rounds interleaved, each applying a static
# profile with three DNS servers whose address differs from the one before.
#   Submit:   the program's own code from the click on: the script written, norvane-cmd and its
#             nmcli calls, the settings read back until they show, the box decided
#             (netconfig_e2e_driver static|other)
#   baseline: nmcli connection modify …; nmcli connection up …; then nmcli -t connection show
#             until the address shows
#   routes:   the baseline after one more nmcli call, the routes query Submit makes first (it
#             keeps the profile's own routes beside the default route it replaces)
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
    NORVANE_E2E_INSTEAD="bash $here/run.sh $build $rounds --inside $out" \
        bash "$root/tests/e2e/nm_sandbox.sh" "$build/netconfig_e2e_driver" "$build/bench-submit"
    status=$?
    cat "$out"
    rm -f "$out"
    exit "$status"
fi
out=$4
con=$5

baseline() {  # baseline ADDRESS
    nmcli connection modify id "$con" ipv4.method manual ipv4.addresses "$1/24" ipv4.gateway "" \
        ipv4.routes "0.0.0.0/0 192.0.2.1 1" ipv4.dns 192.0.2.53,192.0.2.54,192.0.2.55 \
        ipv4.ignore-auto-dns yes &&
        nmcli connection up id "$con" >/dev/null &&
        until nmcli -t -f IP4.ADDRESS connection show id "$con" | grep -q ":$1/24\$"; do
            sleep 0.1
        done
}
routes() {  # routes ADDRESS
    nmcli -g ipv4.routes connection show id "$con" >/dev/null && baseline "$1"
}
submit() {  # submit static|other
    "$build/netconfig_e2e_driver" "$1" >/dev/null
}

TIMEFORMAT='%R %U %S'
measure() {  # measure NAME COMMAND...: appends "NAME wall cpu" (seconds) to $out.times
    local t
    t=$( { time "${@:2}" >/dev/null 2>&1; } 2>&1) || { echo "$1 failed" >&2; return 1; }
    awk -v name="$1" '{ printf "%s %.3f %.3f\n", name, $1, $2 + $3 }' <<<"$t" >>"$out.times"
}
rm -f "$out.times"
for i in $(seq "$rounds"); do
    # Every run changes the address: Submit .10 or .30, the shell scripts .20, .40 or .50.
    if [ $((i % 2)) -eq 1 ]; then
        measure submit submit static && measure baseline baseline 192.0.2.20 &&
            measure routes routes 192.0.2.50
    else
        measure submit submit other && measure baseline baseline 192.0.2.40 &&
            measure routes routes 192.0.2.50
    fi || exit 1
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
{
    cat "$out.times"
    for name in submit baseline routes; do
        wall=$(awk -v n=$name '$1 == n { print $2 }' "$out.times" | median)
        cpu=$(awk -v n=$name '$1 == n { print $3 }' "$out.times" | median)
        echo "median $name: wall ${wall} s, cpu ${cpu} s"
    done
} >"$out"
rm -f "$out.times"
