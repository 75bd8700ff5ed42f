#!/usr/bin/env bash
# The demo: builds setup.exe with a language file that points at a local nginx, builds a
# small demo product and its silent installer, serves the installer on a loopback port and
# starts the setup. On your display when there is one; otherwise on a virtual display,
# where a driver plays the user and saves a screenshot of every page.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh

port=${SETUP_DEMO_PORT:-8472}
if ! python3 -c "import socket,sys; s=socket.socket(); s.bind(('127.0.0.1', $port))" 2>/dev/null; then
  port=$(python3 -c "import socket; s=socket.socket(); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])")
fi
cmake --preset win32 -DSETUP_DEMO_PORT="$port" >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target demo_setup demo_installer demo_driver
tools/wine-prefix.sh

demo=$root/build/demo
mkdir -p "$demo/www"
cp build/win32/bin/demo_installer.exe "$demo/www/TalvenorSetup.exe"
tools/nginx-serve.sh start "$demo/www" "$port" "$demo/nginx"
trap 'tools/nginx-serve.sh stop "$demo/nginx"' EXIT
echo "Serving the demo installer at http://127.0.0.1:$port/TalvenorSetup.exe"

prefix=${SETUP_WINEPREFIX:-$root/build/wineprefix}
product="$prefix/drive_c/Program Files (x86)/Quorvane/Talvenor/Talvenor.exe"
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the setup on $DISPLAY."
  tools/wine-run.sh build/win32/demo/setup.exe || true
  echo "With the default folder the product is installed at: $product"
  exit 0
fi

shots=$demo/screenshots
rm -rf "$shots"
tools/with-display.sh tools/wine-run.sh build/win32/bin/demo_driver.exe "Z:$root/build/win32/demo/setup.exe" "Z:$shots"
echo "The product was installed at: $product"
echo "Screenshots of every page: $shots"
