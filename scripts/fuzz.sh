#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# from a seed corpus made of the test files. Any crash, leak, timeout or
# sanitizer report fails the run. Usage: scripts/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-45}"
scripts/install-deps.sh ci
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DOFFICECARVE_FUZZ=ON \
  -DOFFICECARVE_GUI=OFF -DOFFICECARVE_TESTS=OFF -DOFFICECARVE_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target identify_fuzz probe_fuzz carvers_fuzz scan_fuzz verdict_fuzz reassembly_fuzz

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Seeds: the first 64 KiB of every test file, so each format's parser starts
# from a real header.
mkdir -p "$work/seeds"
for file in tests/data/*; do
  case "$file" in *.md) continue ;; esac
  head -c 65536 "$file" >"$work/seeds/$(basename "$file")"
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in identify_fuzz probe_fuzz carvers_fuzz scan_fuzz verdict_fuzz reassembly_fuzz; do
  mkdir -p "$work/$target"
  cp "$work"/seeds/* "$work/$target/"
  echo "fuzzing $target for ${seconds}s"
  build-fuzz/fuzz/$target "$work/$target" -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2560 -max_len=262144 -print_final_stats=1 -artifact_prefix="$work/" \
    2>"$work/$target.log" || { tail -60 "$work/$target.log"; exit 1; }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target.log" | sed "s/^/  $target /"
done
echo "fuzzing: every target ran clean"
