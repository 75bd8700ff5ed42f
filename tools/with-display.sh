#!/usr/bin/env bash
# Runs a command with an X display: the caller's own, or a private Xvfb that ends with it.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && [ -z "${SETUP_FORCE_XVFB:-}" ]; then exec "$@"; fi
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  WINEPREFIX=${SETUP_WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wineprefix} wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
"$@"
