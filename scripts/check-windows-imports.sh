#!/usr/bin/env bash
# Lists what norvane.exe imports (objdump -p) and fails on any DLL or function that is not in
# scripts/windows2000-imports.txt, the list of what Windows 2000 SP4 provides that the program
# may use. Usage: check-windows-imports.sh [EXE] (build-windows/norvane.exe by default).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exe=${1:-$ROOT/build-windows/norvane.exe}
allowed="$ROOT/scripts/windows2000-imports.txt"
objdump=i686-w64-mingw32-objdump

# "DLL function" per import, DLL names in upper case.
imports=$("$objdump" -p "$exe" | awk '
    /DLL Name:/ { dll = toupper($3); next }
    /^\tvma:/ { next }
    /^\t[0-9a-f]+\t/ && dll != "" { print dll, $3 }')
[ -n "$imports" ] || { echo "no imports read from $exe" >&2; exit 1; }

unknown=$(comm -23 <(echo "$imports" | sort -u) <(grep -v '^#' "$allowed" | awk 'NF == 2' | sort -u))
echo "$exe imports $(echo "$imports" | wc -l) functions from $(echo "$imports" | awk '{print $1}' | sort -u | tr '\n' ' ')"
if [ -n "$unknown" ]; then
    echo "Not provided by Windows 2000 SP4 (or not in $allowed):" >&2
    echo "$unknown" | sed 's/^/  /' >&2
    exit 1
fi
echo "every import is in the Windows 2000 SP4 list"
