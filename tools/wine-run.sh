#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix (never ~/.wine).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${SETUP_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$root/tools/wine-prefix.sh"
exec wine "$@"
