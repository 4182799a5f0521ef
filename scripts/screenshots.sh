#!/usr/bin/env bash
# Builds the desktop program and grabs the pictures in docs/screenshots
# (main window collapsed and expanded, recovery window; Chinese and English).
# The tool runs from an installed layout (a bin folder) with the home folder
# /home/user, seen only by it through a private mount, so the output folder
# the window proposes is the one an installed program shows its user.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
dir=build
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOFFICECARVE_GUI=ON >/dev/null
cmake --build "$dir" --target officecarve-screenshots -j "$(nproc)"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/bin"
cp "$dir/src/ui/qt/officecarve-screenshots" "$stage/bin/"
out="$PWD/docs/screenshots"

# Runs inside the private mount: a fresh /home holding one ordinary user.
cat >"$stage/shoot.sh" <<'SHOOT'
set -eu
mount -t tmpfs officecarve-home /home
mkdir -p /home/user/.config /home/user/Documents
echo 'XDG_DOCUMENTS_DIR="$HOME/Documents"' >/home/user/.config/user-dirs.dirs
env -u PKEXEC_UID -u SUDO_UID -u SUDO_GID -u XDG_CONFIG_HOME HOME=/home/user \
  QT_QPA_PLATFORM=offscreen "$1/bin/officecarve-screenshots" "$2"
SHOOT
if [ "$(id -u)" -eq 0 ]; then
  unshare --mount --propagation private sh "$stage/shoot.sh" "$stage" "$out"
else
  unshare --map-root-user --mount --propagation private sh "$stage/shoot.sh" "$stage" "$out"
fi
