#!/usr/bin/env bash
# Regenerates the skin images, res/skin.rc, res/setup.ico and skin_table.tsv.
# Installs the generator's Debian packages first if they are missing.
# Arguments go to make_skin.py (for example --check).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
"$root/tools/install-deps.sh" --skin-tool
# Debian's interpreter, so that Pillow, FreeType and zlib are the Debian ones.
exec /usr/bin/python3 "$root/tools/skin/make_skin.py" "$@"
