#!/usr/bin/env bash
# Packages the tool into dist/:
#   <name>_<version>_<arch>.deb        from the native build (default build/, the one ./test.sh makes)
#   <name>-<version>-win64.zip         from the Windows cross-build (default build-win/), when there is one
#   <name>-<version>-win64-setup.exe   the 64-bit installer of the same files (makensis)
# configurator.exe goes into the Windows packages when the cross-build has the window.
#
#   scripts/package.sh [NATIVE_BUILD [WINDOWS_BUILD]]
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:-build}
windows=${2:-build-win}
dist=$PWD/dist
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

rm -rf "$dist"
mkdir -p "$dist"

# ---- Debian package ------------------------------------------------------------------------------
[ -f "$native/CMakeCache.txt" ] || fail "$native: no build here (run ./test.sh first)"
cmake -S . -B "$native" -DLUM_PACKAGING=ON >/dev/null
cmake --build "$native" -j "$(nproc)" --target packaged-programs
# shellcheck source=/dev/null
source "$native/packaging/package.env"
for program in configurator lumctl controller-sim; do
  [[ " $LUM_PROGRAMS " == *" $program "* ]] || fail "$native has no $program (configured with -DLUM_BUILD_GUI=OFF?)"
done
name=$LUM_PACKAGE_NAME
version=$LUM_VERSION

stage=$work/deb
DESTDIR=$stage cmake --install "$native" --prefix /usr --strip >/dev/null
# As Debian's own packages: the compiler's notes go too.
strip --remove-section=.comment --remove-section=.note "$stage"/usr/bin/*
mkdir -p "$stage/DEBIAN"
# Dependencies from the libraries the programs link (dpkg-shlibdeps wants a debian/control to read).
mkdir -p "$work/shlibs/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" >"$work/shlibs/debian/control"
depends=$(cd "$work/shlibs" && dpkg-shlibdeps -O "$stage"/usr/bin/* | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || fail "dpkg-shlibdeps found no dependencies"
architecture=$(dpkg --print-architecture)
installed_size=$(du -sk --apparent-size "$stage/usr" | cut -f1)
sed -e "s|%ARCHITECTURE%|$architecture|" -e "s|%INSTALLED_SIZE%|$installed_size|" -e "s|%DEPENDS%|$depends|" \
  "$native/packaging/control" >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
deb=$dist/${name}_${version}_${architecture}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"

# ---- Windows zip and installer -------------------------------------------------------------------
if [ ! -f "$windows/CMakeCache.txt" ]; then
  echo "package.sh: $windows: no Windows cross-build, no Windows packages" >&2
  exit 0
fi
cmake --build "$windows" -j "$(nproc)" --target packaged-programs
windows_programs=$(source "$windows/packaging/package.env" && echo "$LUM_PROGRAMS")
windows_strip=$(source "$windows/packaging/package.env" && echo "$LUM_STRIP")
[ -n "$windows_strip" ] || fail "$windows: CMake found no strip for the cross-build"
folder=$name-$version-win64
wstage=$work/windows/$folder
cmake --install "$windows" --prefix "$wstage" --strip >/dev/null
cp packaging/copyright "$wstage/copyright.txt"
(cd "$work/windows" && zip -q -r -X "$dist/$folder.zip" "$folder")
echo "$dist/$folder.zip"

quad=$(echo "$version.0.0.0" | cut -d. -f1-4)
nsis_defines=(-DVERSION="$version" -DVERSION_QUAD="$quad" -DSTAGE="$wstage" -DOUTFILE="$dist/$folder-setup.exe"
              -DICON="$PWD/app/resources/configurator.ico" -DCOPYRIGHT="$PWD/packaging/copyright")
if [[ " $windows_programs " == *" configurator "* ]]; then
  nsis_defines+=(-DCONFIGURATOR)
else
  echo "package.sh: $windows has no configurator.exe: the Windows packages carry lumctl.exe alone" >&2
fi
makensis -V2 -INPUTCHARSET UTF8 "${nsis_defines[@]}" packaging/lum-configurator.nsi
echo "$dist/$folder-setup.exe"
