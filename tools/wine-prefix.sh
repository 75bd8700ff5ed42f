#!/usr/bin/env bash
# Creates the project's Wine prefix once; later calls return at once.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${SETUP_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
[ -f "$WINEPREFIX/.ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.ready" ] && exit 0
echo "Creating the Wine prefix $WINEPREFIX" >&2
wineboot --init >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.ready"
