#!/usr/bin/env bash
# Fails when a file under */rules/ includes a Windows header.
set -u
cd "$1" || exit 2
hits=$(grep -n -i -E '#\s*include\s*[<"](windows|winuser|wininet|winhttp|shlobj|shellapi|commctrl|objbase|gdiplus)[^>"]*[>"]' \
  app/rules ui/rules engine/rules controls/rules -r 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Windows headers in Windows-free rules:"; echo "$hits"; exit 1
fi
echo "rules are Windows-free"
