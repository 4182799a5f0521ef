#!/usr/bin/env bash
# Checks that the build at hand carves exactly what an earlier commit does:
# the earlier commit's tests record every carver call and scan they make,
# with their images, and a whole scan of every file in tests/data; this
# build replays them and lists every case whose claims, files or count
# differ. Usage: scripts/differential-scan.sh BASE_COMMIT [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

base=${1:?usage: $0 BASE_COMMIT [WORK_DIR]}
work=${2:-$(mktemp -d)}
tree="$work/base-tree"
cases="$work/cases"
mkdir -p "$cases"

git worktree add --detach "$tree" "$base" >/dev/null
trap 'git worktree remove --force "$tree"' EXIT
cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOFFICECARVE_GUI=OFF -DOFFICECARVE_BENCH=OFF >/dev/null
cmake --build "$tree/build" -j "$(nproc)" --target officecarve_tests officecarve_replay
OFFICECARVE_CAPTURE_DIR="$cases" "$tree/build/tests/officecarve_tests" >/dev/null
"$tree/build/tools/officecarve_replay" --record "$cases" tests/data/*

cmake --build build -j "$(nproc)" --target officecarve_replay
build/tools/officecarve_replay "$cases"
