#!/usr/bin/env bash
# scripts/check-windows-imports.sh on the import tables that binutils 2.40 (Debian 12) and 2.44
# (Debian 13, with an ordinal column) print, captured from one norvane.exe (objdump-2.40.txt,
# objdump-2.44.txt): both read the same, a call outside either list fails the check and is
# named, nothing read is a failure, and the two lists agree with each other.
# Ends with "N passed, N failed".
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$here/../.." && pwd)
check="$ROOT/scripts/check-windows-imports.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A stand-in objdump: "-p FILE" prints FILE, the captured output.
printf '#!/bin/sh\ncat "$2"\n' > "$work/objdump"
chmod +x "$work/objdump"
export NORVANE_OBJDUMP="$work/objdump"

passed=0
failed=0
expect() {  # name condition-status message
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        echo "ok   $1"
    else
        failed=$((failed + 1))
        echo "FAIL $1: $3"
    fi
}

# Both formats: the same imports, every one a "DLL name" pair, and the check passes.
for version in 2.40 2.44; do
    bash "$check" --print "$here/objdump-$version.txt" > "$work/$version.list"
    ! grep -qv '^[A-Z0-9]*\.DLL [A-Za-z_][A-Za-z0-9_]*$' "$work/$version.list"
    expect "$version: every line is a DLL and a name" $? "$(grep -v '^[A-Z0-9]*\.DLL [A-Za-z_]' "$work/$version.list" | head -3)"
    grep -qx 'KERNEL32.DLL GetVersionExA' "$work/$version.list" &&
        grep -qx 'USER32.DLL MessageBoxW' "$work/$version.list"
    expect "$version: the version query and the message box are read" $? "not in the list"
    bash "$check" "$here/objdump-$version.txt" > "$work/$version.out" 2>&1
    expect "$version: the check passes" $? "$(cat "$work/$version.out")"
done
cmp -s "$work/2.40.list" "$work/2.44.list"
expect "2.40 and 2.44 read the same imports" $? "$(diff "$work/2.40.list" "$work/2.44.list" | head -5)"
[ "$(wc -l < "$work/2.44.list")" -eq "$(grep -c '^	[0-9a-f]\{8\}  <none>' "$here/objdump-2.44.txt")" ]
expect "2.44: one import per table entry" $? "$(wc -l < "$work/2.44.list") read"

# A call that one list or both lack fails the check and is named, in either format.
cases=(
    # replaced-by                 fails-on
    "ReplaceFileW                 NT 4.0"
    "GetThreadId                  Windows 2000"
    "TryEnterCriticalSection      NT 4.0"
    "InitializeConditionVariable  Windows 2000"
)
for version in 2.40 2.44; do
    for case in "${cases[@]}"; do
        read -r name list <<< "$case"
        sed "s/ GetFileSize\$/ $name/" "$here/objdump-$version.txt" > "$work/changed.txt"
        bash "$check" "$work/changed.txt" > "$work/out" 2>&1
        status=$?
        [ "$status" -ne 0 ] && grep -q "Not provided by .*$list" "$work/out" &&
            grep -qx "  KERNEL32.DLL $name" "$work/out"
        expect "$version: $name fails on $list" $? "exit $status: $(cat "$work/out")"
    done
    # An entry of a form neither binutils prints (an import by ordinal) is not let through.
    sed 's/^\(\t[0-9a-f]*\)\(\t\|  <none>  \).*GetFileSize$/\1  00000012  <none>/' \
        "$here/objdump-$version.txt" > "$work/changed.txt"
    bash "$check" "$work/changed.txt" > "$work/out" 2>&1
    status=$?
    [ "$status" -ne 0 ] && grep -q 'KERNEL32.DLL ?' "$work/out"
    expect "$version: an entry of another form fails" $? "exit $status: $(cat "$work/out")"
done

# Nothing read is a failure, not a pass.
: > "$work/empty.txt"
bash "$check" "$work/empty.txt" > "$work/out" 2>&1
status=$?
[ "$status" -ne 0 ] && grep -q 'no imports read' "$work/out"
expect "nothing read fails" $? "exit $status: $(cat "$work/out")"

# What must load on NT 4.0, 98 and Me is also provided by Windows 2000.
entries() { grep -v '^#' "$1" | awk 'NF == 2' | sort -u; }
extra=$(comm -23 <(entries "$ROOT/scripts/windows-nt4-98-imports.txt") \
    <(entries "$ROOT/scripts/windows2000-imports.txt"))
[ -z "$extra" ]
expect "the NT 4.0 / 98 list is part of the Windows 2000 list" $? "$extra"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
