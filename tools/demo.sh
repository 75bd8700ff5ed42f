#!/usr/bin/env bash
# Builds setup.exe and runs it under Wine: on your display when there is one, otherwise on
# a virtual display, with a screenshot of the window written to build/demo/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target setup
tools/wine-prefix.sh

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the setup on $DISPLAY; close it with its close button."
  tools/wine-run.sh build/win32/bin/setup.exe || true
  exit 0
fi

mkdir -p build/demo
shot=$root/build/demo/welcome.png
tools/with-display.sh bash -c '
  "$1/tools/wine-run.sh" "$1/build/win32/bin/setup.exe" &
  for _ in $(seq 60); do sleep 0.5; xwininfo -root -tree 2>/dev/null | grep -q "750x360" && break; done
  sleep 2
  import -window root "$2"
  "$1/tools/wine-run.sh" taskkill /f /im setup.exe >/dev/null 2>&1 || true
' demo "$root" "$shot"
echo "No display here: the setup ran on a virtual display. Its window: $shot"
