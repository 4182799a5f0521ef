#!/usr/bin/env bash
# Builds the .deb with cpack, installs it with dpkg, runs the installed command
# line (its help, its man page, the demo), then removes the package and checks
# that it left nothing behind. Needs root (or sudo) for dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh ci
scripts/build.sh
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

if dpkg-query -W -f='${Status}' officecarve 2>/dev/null | grep -q "install ok installed"; then
  echo "package-test: officecarve is installed already; remove it first" >&2
  exit 1
fi

rm -rf build/packages
cpack --config build/CPackConfig.cmake -B build/packages >/dev/null
deb="$(find build/packages -maxdepth 1 -name 'officecarve_*.deb' | head -n 1)"
[ -n "$deb" ] || { echo "package-test: cpack made no .deb" >&2; exit 1; }
echo "package-test: built $deb"

work="$(mktemp -d)"
installed=0
cleanup() {
  [ "$installed" -eq 1 ] && $sudo dpkg -r officecarve >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

$sudo dpkg -i "$deb" >/dev/null
installed=1
dpkg-query -L officecarve | sort >"$work/files"

status=0
fail() {
  echo "package-test: $*" >&2
  status=1
}
for path in /usr/bin/officecarve /usr/bin/officecarve-gui /usr/bin/officecarve-gui-pkexec \
  /usr/share/applications/officecarve.desktop \
  /usr/share/polkit-1/actions/org.officecarve.pkexec.policy \
  /usr/share/icons/hicolor/scalable/apps/officecarve.svg \
  /usr/share/doc/officecarve/user-guide.html /usr/share/man/man1/officecarve.1.gz; do
  grep -qx "$path" "$work/files" || fail "the package lacks $path"
done

# The menu entry starts the window through pkexec with the package's polkit
# action, which names the installed launcher.
desktop=/usr/share/applications/officecarve.desktop
policy=/usr/share/polkit-1/actions/org.officecarve.pkexec.policy
desktop-file-validate --no-hints "$desktop" || fail "desktop-file-validate refuses $desktop"
grep -qx "Exec=officecarve-gui-pkexec" "$desktop" || fail "the menu entry does not start the launcher"
[ -x /usr/bin/officecarve-gui-pkexec ] || fail "the launcher is not executable"
xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd "$policy" ||
  fail "$policy does not follow polkit's DTD"
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/bin/officecarve-gui-pkexec<' \
  "$policy" || fail "the polkit action does not name /usr/bin/officecarve-gui-pkexec"
# polkitd answers only where the system bus runs (not in every container).
if action="$(pkaction --action-id org.officecarve.pkexec.run --verbose 2>/dev/null)"; then
  grep -q "org.freedesktop.policykit.exec.path -> /usr/bin/officecarve-gui-pkexec" <<<"$action" ||
    fail "polkitd does not know the action as installed: $action"
  echo "package-test: polkitd knows org.officecarve.pkexec.run"
else
  echo "package-test: polkitd not reachable; the policy was checked against its DTD"
fi

/usr/bin/officecarve --help | grep -q "recover" || fail "officecarve --help shows no commands"
zcat /usr/share/man/man1/officecarve.1.gz | grep -q '^\.SH' || fail "the man page has no sections"
(cd "$work" && /usr/bin/officecarve demo -o "$work/demo") | tail -n 1

$sudo dpkg -r officecarve >/dev/null
installed=0
# Every file the package brought is gone, and so is every folder that no other
# package owns.
while read -r path; do
  if [ -d "$path" ]; then
    dpkg-query -S "$path" >/dev/null 2>&1 || fail "$path is left behind"
  elif [ -e "$path" ] || [ -L "$path" ]; then
    fail "$path is left behind"
  fi
done <"$work/files"
if dpkg-query -W -f='${Status}' officecarve 2>/dev/null | grep -qv "not-installed"; then
  fail "dpkg still knows the package: $(dpkg-query -W -f='${Status}' officecarve)"
fi
[ "$status" -eq 0 ] && echo "package-test: installed, ran and removed cleanly"
exit "$status"
