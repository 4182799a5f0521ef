#!/usr/bin/env bash
# Builds the desktop program and grabs the pictures in docs/screenshots
# (main window collapsed and expanded, recovery window; Chinese and English).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
dir=build
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target officecarve-screenshots -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$dir/src/ui/qt/officecarve-screenshots" docs/screenshots
