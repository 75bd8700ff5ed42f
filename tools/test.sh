#!/usr/bin/env bash
# Runs every test: the native unit tests of the rules, then the Windows build under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
ctest --preset native

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
tools/wine-prefix.sh
tools/with-display.sh ctest --preset win32 "$@"
