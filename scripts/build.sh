#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
# Everything, also in a folder scripts/demo.sh configured for the command line alone.
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DOFFICECARVE_TESTS=ON -DOFFICECARVE_GUI=ON
  -DOFFICECARVE_BENCH=ON)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags=(-DCMAKE_BUILD_TYPE=Debug -DOFFICECARVE_SANITIZE=ON -DOFFICECARVE_TESTS=ON
    -DOFFICECARVE_GUI=ON -DOFFICECARVE_BENCH=OFF)
fi
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
