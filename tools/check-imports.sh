#!/usr/bin/env bash
# Fails when the program imports a DLL that is not part of Windows.
set -u
allowed='^(kernel32|user32|gdi32|gdiplus|comctl32|wininet|winhttp|shell32|shlwapi|ole32|oleaut32|advapi32|msvcrt|comdlg32|version|ws2_32)\.dll$'
dlls=$(i686-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
[ -n "$dlls" ] || { echo "no import table read from $1"; exit 1; }
bad=$(echo "$dlls" | grep -v -E "$allowed")
echo "imports: $(echo $dlls)"
if [ -n "$bad" ]; then echo "not part of Windows: $bad"; exit 1; fi
