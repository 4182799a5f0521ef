#!/usr/bin/env bash
# Cross-builds the Windows command line and the engine's test suite with
# MinGW-w64, runs the suite under wine, and checks that the Windows program
# recovers the demo image byte for byte like the Linux one: the same image,
# built by each program, and the same recovered documents.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh ci

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
jobs="$(nproc)"

# The Linux program, configured as scripts/build.sh does; only the CLI is built here.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build --target officecarve -j "$jobs"

started=$SECONDS
cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DOFFICECARVE_GUI=OFF -DOFFICECARVE_BENCH=OFF "${launcher[@]}" \
  >/dev/null
cmake --build build-mingw --target officecarve officecarve_tests -j "$jobs"
echo "windows-test: cross build took $((SECONDS - started)) s" >&2
# The .zip of the Windows command line.
rm -rf build-mingw/packages
cpack --config build-mingw/CPackConfig.cmake -B build-mingw/packages >/dev/null
zip="$(find build-mingw/packages -maxdepth 1 -name 'officecarve-*-windows-x86_64.zip' | head -n 1)"
if [ -z "$zip" ] || ! cmake -E tar tf "$zip" | grep -q '/bin/officecarve\.exe$'; then
  echo "windows-test: cpack made no .zip holding officecarve.exe" >&2
  exit 1
fi

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

work="$(mktemp -d)"
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Wine maps / to drive Z:, so the absolute paths below (and the test data
# folder compiled into the tests) name the same files for both programs. Run
# from inside the work folder so that relative paths land on Z: too.
repo="$(pwd)"
cd "$work"
"$wine" wineboot --init >/dev/null 2>&1 || true

started=$SECONDS
"$wine" "$repo/build-mingw/tests/officecarve_tests.exe" --gtest_brief=1
echo "windows-test: test suite under wine took $((SECONDS - started)) s" >&2

"$repo/build/src/cli/officecarve" demo -o "$work/linux" >/dev/null
"$wine" "$repo/build-mingw/src/cli/officecarve.exe" demo -o "$work/windows" >/dev/null
mkdir -p "$work/windows-recovered"
"$wine" "$repo/build-mingw/src/cli/officecarve.exe" recover "$work/linux/demo.img" \
  -o "$work/windows-recovered" --quiet

status=0
check() {
  if "$@"; then echo "windows-test: same: ${*: -2}"; else status=1; fi
}
check cmp "$work/linux/demo.img" "$work/windows/demo.img"
check diff -r "$work/linux/recovered" "$work/windows/recovered"
check diff -r "$work/linux/recovered" "$work/windows-recovered"
count="$(find "$work/windows-recovered" -type f | wc -l)"
if [ "$count" -eq 0 ]; then
  echo "windows-test: the Windows program recovered nothing" >&2
  status=1
fi
echo "windows-test: $count documents recovered identically by both programs" >&2
exit $status
