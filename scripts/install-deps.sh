#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need,
# skipping the apt run when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libcli11-dev nlohmann-json3-dev
  qt6-base-dev fonts-noto-cjk
  dosfstools ntfs-3g exfatprogs fdisk gdisk
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest wine64 ccache
  dpkg-dev help2man
  desktop-file-utils libxml2-utils polkitd pkexec
)

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
