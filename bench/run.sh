#!/usr/bin/env bash
# The download benchmark: setup.exe (under Wine) against curl, aria2c and axel, with a
# 100 MiB installer served by nginx on 127.0.0.1 in four scenarios. See bench/README.md.
#   bench/run.sh                 everything: 100 MiB, 5 runs per downloader and scenario
#   bench/run.sh --quick         a try-out: 20 MiB, 1 run
# Further options: --runs N, --size-mib N, --scenarios abcd (any subset), --tools
# setup,curl,aria2c,axel (any subset), --curl-runs-limited N, --no-warm-up, --head (measure
# a clean export of the last commit instead of the work tree).
# Prints one table and writes it to bench/results.md (a quick or partial run only to
# build/bench/run/results-quick.md or results-partial.md).
set -euo pipefail

# All in one function, read whole before it runs: an edit of this file during a run
# cannot change the running one.
main() {
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  cd "$root"

  build=$root/build/bench
  export SETUP_WINEPREFIX=$root/build/wineprefix-bench
  args=()
  head=""
  while [ $# -gt 0 ]; do
    case "$1" in
      --quick) args+=(--quick --size-mib 20 --runs 1) ;;
      --head) head=1 ;;
      --runs|--size-mib|--scenarios|--tools|--curl-runs-limited) args+=("$1" "$2"); shift ;;
      --no-warm-up) args+=("$1") ;;
      -h|--help) sed -n 2,10p "$0"; exit 0 ;;
      *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
    shift
  done

  # What the build and Wine need, and the downloaders to compare with (Debian's).
  tools/install-deps.sh
  missing=()
  for p in curl aria2 axel time; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
  fi

  # What is measured: the product as it is in the work tree (default), or, with --head, a
  # clean export of the last commit (git archive; the work tree and the index are not
  # touched), for numbers that belong to a commit while the work tree is being changed.
  commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
  if [ -n "$head" ]; then
    src=$build/head/src
    product_build=$build/head/build
    if [ "$(cat "$build/head/COMMIT" 2>/dev/null)" != "$commit" ]; then
      rm -rf "$build/head"
      mkdir -p "$src"
      git -C "$root" archive --format=tar HEAD | tar -x -C "$src"
      echo "$commit" > "$build/head/COMMIT"
    fi
    product="commit $commit (clean export of HEAD)"
  else
    src=$root
    product_build=$build
    changed=$(git -C "$root" status --porcelain -- app engine ui controls winlib res cmake CMakeLists.txt \
      tools/demo tools/language_file.py tests/wine/harness.cpp tests/wine/harness.h 2>/dev/null | wc -l)
    if [ "$changed" -gt 0 ]; then
      product="work tree at commit $commit with $changed uncommitted changed file(s) of the product or its build"
    else
      product="work tree at commit $commit, no uncommitted product changes"
    fi
  fi

  # The demo setup of our own build folder; its download address names a loopback port,
  # which must be free now (the build is redone with another port when it is not).
  port_free() {
    python3 -c "import socket; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(('127.0.0.1', $1))" 2>/dev/null
  }
  port=$(sed -n 's/^SETUP_DEMO_PORT:STRING=//p' "$product_build/CMakeCache.txt" 2>/dev/null || true)
  if [ -z "$port" ] || ! port_free "$port"; then
    port=18472
    port_free "$port" || port=$(python3 -c "import socket; s=socket.socket(); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])")
    cmake -S "$src" -B "$product_build" --toolchain "$src/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DSETUP_DEMO_PORT="$port" >/dev/null 2>&1
  fi
  mkdir -p "$build/run"
  if ! cmake --build "$product_build" -j "$(nproc)" --target demo_setup demo_installer >"$build/run/build.log" 2>&1; then
    tail -40 "$build/run/build.log" >&2
    exit 1
  fi

  # The driver that plays the user (bench/bench_driver.cpp with the Wine tests' harness).
  driver=$product_build/benchtool/bench_driver.exe
  sources=(bench/bench_driver.cpp "$src/tests/wine/harness.cpp" "$src/tests/wine/harness.h" "$src/ui/control_ids.h")
  if [ ! -f "$driver" ] || [ -n "$(find "${sources[@]}" -newer "$driver" 2>/dev/null)" ]; then
    mkdir -p "$(dirname "$driver")"
    i686-w64-mingw32-g++-posix -std=c++20 -O2 -municode -DUNICODE -D_UNICODE -DNOMINMAX -I"$src" -I"$src/tests/wine" \
      bench/bench_driver.cpp "$src/tests/wine/harness.cpp" -o "$driver" \
      -static -static-libgcc -static-libstdc++ -lgdiplus -lshell32 -luser32 -lgdi32 -lole32
  fi
  # What a waiting thread costs in memory under Wine (bench/thread_cost.cpp).
  thread_cost=$product_build/benchtool/thread_cost.exe
  if [ ! -f "$thread_cost" ] || [ bench/thread_cost.cpp -nt "$thread_cost" ]; then
    mkdir -p "$(dirname "$thread_cost")"
    i686-w64-mingw32-g++-posix -O2 bench/thread_cost.cpp -o "$thread_cost" -static -static-libgcc -static-libstdc++
  fi
  tools/wine-prefix.sh

  # Whatever happens, no server or proxy is left running.
  cleanup() {
    for run in "$build"/run/nginx-*; do
      [ -d "$run" ] && tools/nginx-serve.sh stop "$run"
    done
    local pid
    pid=$(cat "$build/run/proxy.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && grep -q delay_proxy.py "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid" || true; fi
  }
  trap cleanup EXIT

  # A private virtual display: the driver clicks with the X mouse, and nobody's real mouse
  # should get in its way.
  SETUP_FORCE_XVFB=1 tools/with-display.sh python3 bench/bench.py --root "$root" --build "$product_build" \
    --work "$build/run" --prefix "$SETUP_WINEPREFIX" --driver "$driver" --thread-cost "$thread_cost" --port "$port" --product "$product" "${args[@]}"
}

main "$@"
