#!/usr/bin/env bash
# Installs the build into a temporary prefix, as a package would, and starts
# the installed window offscreen with a probe that reports the output folder
# it proposes: never inside the installation, but the user's documents
# folder's "Recovered documents"; a copy unpacked in a writable folder keeps
# that folder. Also checks the menu entry, the pkexec launcher and the polkit
# action that the installation brings.
#   installed_window_test.sh BUILD_DIR PROBE_LIBRARY
set -euo pipefail
build="$1"
probe="$2"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}
expect() {  # what, got, wanted
  if [ "$2" = "$3" ]; then
    echo "ok: $1: $2"
  else
    fail "$1: got '$2', wanted '$3'"
  fi
}

# folder_shown LOCALE HOME PROGRAM [NAME=value ...]: the window's Edit2.
folder_shown() {
  local locale="$1" home="$2" program="$3"
  shift 3
  env -u PKEXEC_UID -u SUDO_UID -u SUDO_GID -u XDG_CONFIG_HOME -u LANGUAGE -u LC_MESSAGES \
    HOME="$home" LC_ALL="$locale" LANG="$locale" QT_QPA_PLATFORM=offscreen \
    LD_PRELOAD="$probe" "$@" "$program" 2>"$work/stderr" | sed -n 's/^Edit2=//p' || true
}

gui="$prefix/bin/officecarve-gui"
[ -x "$gui" ] || fail "no $gui after installing"

# A user with a documents folder of their own naming.
home="$work/home/user"
mkdir -p "$home/.config" "$home/Papers"
# shellcheck disable=SC2016 # the file holds $HOME itself, as xdg-user-dirs writes it
echo 'XDG_DOCUMENTS_DIR="$HOME/Papers"' >"$home/.config/user-dirs.dirs"
for row in "C.UTF-8|Recovered documents" "zh_CN.UTF-8|恢复的文档" "zh_TW.UTF-8|恢復的文檔"; do
  locale="${row%%|*}"
  name="${row#*|}"
  shown="$(folder_shown "$locale" "$home" "$gui")"
  expect "installed, $locale" "$shown" "$home/Papers/$name/"
  case "$shown" in "$prefix"/*) fail "the default folder lies inside the installation" ;; esac
done
[ -e "$home/Papers/Recovered documents" ] && fail "the folder was made before anything was saved"

# No user-dirs.dirs: the home folder.
bare="$work/home/bare"
mkdir -p "$bare"
expect "installed, no documents folder" "$(folder_shown C.UTF-8 "$bare" "$gui")" \
  "$bare/Recovered documents/"

# A portable copy unpacked into a writable folder keeps its own folder.
mkdir -p "$work/portable"
cp "$gui" "$work/portable/"
expect "portable copy" "$(folder_shown C.UTF-8 "$home" "$work/portable/officecarve-gui")" \
  "$work/portable/"

# Started through pkexec (root, PKEXEC_UID set): the invoking user's home, not
# root's; the launcher's root half takes over the language it is handed and
# nothing else.
if [ "$(id -u)" -eq 0 ] && nobody_home="$(getent passwd 65534 | cut -d: -f6)"; then
  expect "as root for user 65534" "$(folder_shown C.UTF-8 "$home" "$gui" PKEXEC_UID=65534)" \
    "$nobody_home/Recovered documents/"
  launched="$(env -u LC_ALL -u LANG -u LC_MESSAGES -u LANGUAGE -u SUDO_UID PKEXEC_UID=65534 HOME=/root \
    QT_QPA_PLATFORM=offscreen LD_PRELOAD="$probe" \
    "$prefix/bin/officecarve-gui-pkexec" LANG=zh_CN.UTF-8 QT_QPA_PLATFORM=xcb \
    2>"$work/stderr" | sed -n 's/^Edit2=//p' || true)"
  expect "launcher as root" "$launched" "$nobody_home/恢复的文档/"
else
  echo "skipped: the root cases (not root, or no user 65534)"
fi

# The menu entry starts the launcher, and the polkit action names it.
desktop="$prefix/share/applications/officecarve.desktop"
launcher="$prefix/bin/officecarve-gui-pkexec"
policy="$prefix/share/polkit-1/actions/org.officecarve.pkexec.policy"
[ -x "$launcher" ] || fail "no executable $launcher"
expect "menu entry Exec" "$(sed -n 's/^Exec=//p' "$desktop" | head -n 1)" "officecarve-gui-pkexec"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate --no-hints "$desktop" || fail "desktop-file-validate refuses $desktop"
else
  echo "skipped: desktop-file-validate (desktop-file-utils) is not installed"
fi
[ -f "$policy" ] || fail "no $policy"
dtd=/usr/share/polkit-1/policyconfig-1.dtd
if command -v xmllint >/dev/null && [ -f "$dtd" ]; then
  xmllint --noout --dtdvalid "$dtd" "$policy" || fail "$policy does not follow polkit's DTD"
else
  echo "skipped: the DTD check (xmllint or $dtd missing)"
fi
annotation() {
  sed -n "s|.*<annotate key=\"org.freedesktop.policykit.exec.$1\">\(.*\)</annotate>.*|\1|p" "$policy"
}
expect "policy exec.path" "$(annotation path)" "$launcher"
expect "policy exec.allow_gui" "$(annotation allow_gui)" "true"

[ "$status" -eq 0 ] && echo "installed window: all checks passed"
exit "$status"
