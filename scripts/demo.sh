#!/usr/bin/env bash
# Installs what is missing, builds, and runs the built-in demo: a disk image
# made from real documents, recovered and checked byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh
build/src/cli/officecarve demo "$@"
