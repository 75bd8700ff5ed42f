#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent and quick when everything is already there.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix mingw-w64-i686-dev
  wine wine32:i386 wine64
  xvfb xauth x11-utils xdotool imagemagick
  cmake make g++ googletest
  nginx locales python3
  openssl
)

# Packages of the skin generator (tools/skin/make_skin.py) only. The build and
# the tests use the committed images, so these are not installed by default;
# "tools/install-deps.sh --skin-tool" installs just these (tools/skin/make-skin.sh
# does that before it runs the generator).
skin_tool_packages=(
  python3-pil fonts-noto-cjk fonts-dejavu-core
)
if [ "${1:-}" = "--skin-tool" ]; then
  packages=("${skin_tool_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
