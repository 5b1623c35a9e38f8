#!/usr/bin/env bash
# Checks the packages scripts/package.sh put into dist/, as an engineer's machine takes them (CI; it
# installs and removes the Debian package on this machine, so it needs root or sudo):
#   the Debian package: lintian without errors or warnings, desktop-file-validate, appstreamcli
#   validate --no-net; installed with apt-get, the three programs answer --version from /usr/bin,
#   `man lumctl` renders; removed again, none of its files is left;
#   the Windows installer, under wine in a scratch prefix: installs silently (/S), lumctl.exe
#   --version runs from the install folder and from the PATH, the uninstaller (/S) takes away the
#   files, the shortcut, the PATH entry and the registry keys.
#
#   scripts/check-package.sh [DIST]
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$(realpath "${1:-dist}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

fail() {
  echo "check-package.sh: $*" >&2
  exit 1
}

debs=("$dist"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "$dist: expected one .deb"
deb=${debs[0]}
name=$(dpkg-deb -f "$deb" Package)

echo "--- lintian $(basename "$deb")"
lintian --fail-on error,warning "$deb"
dpkg-deb -x "$deb" "$work/deb"
desktop-file-validate "$work"/deb/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/deb/usr/share/metainfo/*.metainfo.xml

echo "--- apt-get install $(basename "$deb")"
! dpkg-query -W "$name" >/dev/null 2>&1 || fail "$name is installed already"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
dpkg -L "$name" >"$work/files"
/usr/bin/lumctl --version
/usr/bin/controller-sim --version
# The window's program on a display of its own: its Qt platform plugin (xcb) comes with the package's
# dependencies.
xvfb-run -a /usr/bin/configurator --version
MANWIDTH=80 man lumctl >"$work/man-lumctl" 2>"$work/man-errors"
[ ! -s "$work/man-errors" ] || { cat "$work/man-errors"; fail "man lumctl: warnings"; }
grep -q 'lumctl' "$work/man-lumctl" || fail "man lumctl: empty page"
head -n 12 "$work/man-lumctl"

echo "--- apt-get remove $name"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$name" >/dev/null
left=0
while IFS= read -r path; do
  # Folders the package shares with others (/usr/bin, ...) stay; its files and own folders go.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == *"$name"* ]]; }; then
    echo "left behind: $path" >&2
    left=1
  fi
done <"$work/files"
[ $left -eq 0 ] || fail "files of $name remain after its removal"
echo "$(grep -vc '^/.$' "$work/files") paths installed, none of its files left"

setups=("$dist"/*-setup.exe)
if [ ! -f "${setups[0]}" ]; then
  echo "check-package.sh: no Windows installer in $dist" >&2
  exit 0
fi
setup=${setups[0]}
echo "--- wine: $(basename "$setup") /S"
wine=$(command -v /usr/lib/wine/wine64 wine64 wine | head -n1)
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
folder='C:\Program Files\LUM Configurator'
unix_folder="$WINEPREFIX/drive_c/Program Files/LUM Configurator"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ПО Конфигуратор.lnk"
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
"$wine" "$setup" /S
wineserver -w
ls "$unix_folder"
[ -f "$unix_folder/lumctl.exe" ] && [ -f "$unix_folder/uninstall.exe" ] || fail "installer: files missing"
if unzip -l "$dist"/*-win64.zip | grep -q configurator.exe; then
  [ -f "$unix_folder/configurator.exe" ] && [ -f "$shortcut" ] || fail "installer: the window or its shortcut missing"
fi
"$wine" "$folder\\lumctl.exe" --version
"$wine" reg query 'HKLM\Software\LUM Configurator' >/dev/null || fail "installer: no registry key"
"$wine" reg query "$environment" /v Path | grep -qF "$folder" || fail "installer: the folder is not on the PATH"
wineserver -w
"$wine" cmd /c "lumctl --version" | grep -q '^lumctl ' || fail "lumctl.exe does not run from the PATH"

echo "--- wine: uninstall.exe /S"
"$wine" "$folder\\uninstall.exe" /S
wineserver -w
[ ! -e "$unix_folder" ] || { ls -la "$unix_folder"; fail "uninstaller: the install folder remains"; }
[ ! -e "$shortcut" ] || fail "uninstaller: the shortcut remains"
! "$wine" reg query 'HKLM\Software\LUM Configurator' >/dev/null 2>&1 || fail "uninstaller: registry key remains"
! "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\LUM Configurator' >/dev/null 2>&1 ||
  fail "uninstaller: its uninstall entry remains"
! "$wine" reg query "$environment" /v Path | grep -qF "$folder" || fail "uninstaller: the folder stays on the PATH"
echo "installed, run and uninstalled under wine: nothing left"
