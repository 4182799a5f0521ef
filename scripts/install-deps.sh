#!/usr/bin/env bash
# Installs the Debian packages one entry point needs, skipping the apt run
# when everything is already there.
#   scripts/install-deps.sh demo   the command line and the demo
#   scripts/install-deps.sh test   + the test suite and the desktop program (the default)
#   scripts/install-deps.sh ci     + sanitizers, valgrind, fuzzing, the Windows cross build
#                                    under wine, benchmarks and packaging
set -euo pipefail

profile="${1:-test}"
demo=(
  cmake ninja-build g++ pkg-config
  zlib1g-dev libcli11-dev nlohmann-json3-dev
  libxml2-dev nettle-dev
)
test=(
  "${demo[@]}"
  libgtest-dev libgmock-dev
  qt6-base-dev fonts-noto-cjk
  dosfstools ntfs-3g exfatprogs fdisk gdisk
)
ci=(
  "${test[@]}"
  libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest wine64 ccache
  dpkg-dev help2man
  desktop-file-utils libxml2-utils polkitd pkexec
)
case "$profile" in
  demo) packages=("${demo[@]}") ;;
  test) packages=("${test[@]}") ;;
  ci) packages=("${ci[@]}") ;;
  *)
    echo "usage: $0 [demo|test|ci]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
