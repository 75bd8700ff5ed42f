#!/usr/bin/env bash
# Creates the project's Wine prefix once; later calls return at once.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${SETUP_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
ready=$WINEPREFIX/.ready-2
[ -f "$ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$ready" ] && exit 0
echo "Preparing the Wine prefix $WINEPREFIX" >&2
[ -f "$WINEPREFIX/.ready" ] || wineboot --init >/dev/null 2>&1
# The virtual display has no window manager: Wine must not wait for one (about 2 s each
# time a window is hidden or destroyed).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.ready" "$ready"
