#!/usr/bin/env bash
# Installs what the command line needs, builds it (and nothing else), and runs
# the built-in demo: a disk image made from real documents, recovered and
# checked byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh demo
# The tests, the desktop program and the benchmarks stay out of this build;
# scripts/build.sh switches them on again in the same folder.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOFFICECARVE_TESTS=OFF \
  -DOFFICECARVE_GUI=OFF -DOFFICECARVE_BENCH=OFF >/dev/null
cmake --build build --target officecarve -j "$(nproc)"
build/src/cli/officecarve demo "$@"
