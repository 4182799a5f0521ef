#!/usr/bin/env bash
# Runs the built-in demo (image building, a whole scan and every document's
# save) under valgrind's memcheck: any invalid access, use of uninitialised
# memory or leak fails the run. Expects scripts/build.sh to have run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh ci
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  build/src/cli/officecarve demo -o "$work/demo" >"$work/demo.log"
tail -1 "$work/demo.log"
echo "memcheck: the demo ran clean"
