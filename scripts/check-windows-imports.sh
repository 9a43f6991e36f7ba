#!/usr/bin/env bash
# Lists what norvane.exe imports (objdump -p) and holds it to two lists, one "DLL function" a
# line, DLL names in upper case:
#   scripts/windows2000-imports.txt: what Windows 2000 SP4 provides that the program may use;
#   scripts/windows-nt4-98-imports.txt: what Windows NT 4.0 SP6a, 98 SE and Me provide. The
#     program must load there to show its own refusal, so everything it imports must be there
#     too; what they lack is looked up when needed (src/host/win32/system_library.h).
# Fails on any DLL or function missing from either list. Reads the import tables that binutils
# 2.40 (Debian 12) and 2.44 (Debian 13, with an ordinal column) print.
#
# Usage: check-windows-imports.sh [--print] [EXE]   (build-windows/norvane.exe by default)
#   --print  only print the imports, "DLL function" a line, and check nothing
# NORVANE_OBJDUMP: the objdump to run (i686-w64-mingw32-objdump unless set).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
print_only=0
if [ "${1:-}" = --print ]; then
    print_only=1
    shift
fi
exe=${1:-$ROOT/build-windows/norvane.exe}
objdump=${NORVANE_OBJDUMP:-i686-w64-mingw32-objdump}

# "DLL function" per import, DLL names in upper case, from the import tables only. An entry is
# "vma hint name" (2.40, decimal hint) or "vma ordinal hint name" (2.44, ordinal "<none>" for
# an import by name, hexadecimal hint). Anything else there (an import by ordinal) comes out as
# "DLL ?line", which no list holds.
imports=$(LC_ALL=C "$objdump" -p "$exe" | awk '
    /^The Import Tables/ { in_imports = 1; next }
    in_imports && /^[A-Z]/ { in_imports = 0 }
    !in_imports { next }
    /^\tDLL Name:/ { dll = toupper($3); next }
    /^\tvma:/ { next }
    dll != "" && /^\t[0-9a-fA-F]+[ \t]/ {
        if (NF == 3 && $2 ~ /^[0-9]+$/ && $3 !~ /^</) {
            print dll, $3
        } else if (NF == 4 && $2 == "<none>" && $3 ~ /^[0-9a-fA-F]+$/ && $4 !~ /^</) {
            print dll, $4
        } else {
            sub(/^\t/, "")
            print dll, "?" $0
        }
        next
    }
    /^$/ { dll = "" }')
[ -n "$imports" ] || { echo "no imports read from $exe" >&2; exit 1; }
imports=$(echo "$imports" | sort -u)
if [ "$print_only" = 1 ]; then
    echo "$imports"
    exit 0
fi
echo "$exe imports $(echo "$imports" | wc -l) functions from" \
    "$(echo "$imports" | awk '{print $1}' | sort -u | tr '\n' ' ')"

failed=0
check() {  # list-file description
    local unknown
    unknown=$(comm -23 <(echo "$imports") <(grep -v '^#' "$1" | awk 'NF == 2' | sort -u))
    if [ -n "$unknown" ]; then
        echo "Not provided by $2 (or not in $1):" >&2
        echo "$unknown" | sed 's/^/  /' >&2
        failed=1
    else
        echo "every import is in the $2 list"
    fi
}
check "$ROOT/scripts/windows2000-imports.txt" "Windows 2000 SP4"
check "$ROOT/scripts/windows-nt4-98-imports.txt" "Windows NT 4.0 SP6a, 98 SE and Me"
exit "$failed"
