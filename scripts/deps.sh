#!/usr/bin/env bash
# Installs what building, testing and running need, on Debian 12, when missing.
# Sourced by ./run.sh and ./test.sh.
set -euo pipefail

LUM_PACKAGES=(
  g++ cmake make pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-translations-l10n
  libgtest-dev libgmock-dev googletest
  libcli11-dev nlohmann-json3-dev
  fonts-dejavu-core fonts-wine
  xvfb xauth socat
  libmosquitto-dev mosquitto mosquitto-clients
  ser2net
  clang libclang-rt-14-dev
)

# The Windows cross-build and its tests under wine (.ci/run only; ./run.sh and ./test.sh do not pull
# them): MinGW-w64 with POSIX threads (std::thread), GoogleTest's sources to build for Windows, wine
# with its 64-bit loader; for the static Qt of scripts/build-qt-mingw.sh apt-get source's unpacker
# (dpkg-dev) and ninja; for the window's test on a virtual display Xvfb, xdotool and ImageMagick.
LUM_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix
  googletest
  wine wine64
  dpkg-dev ninja-build
  xvfb xdotool imagemagick
)

# The packages and their checks (.ci/run's last stage: scripts/package.sh, scripts/check-package.sh):
# makensis, lintian, help2man for the man pages, rsvg-convert for the icon, the desktop entry's and
# the metainfo's validators, zip, man to read a page, wine for the installer.
LUM_PACKAGING_PACKAGES=(
  nsis lintian help2man librsvg2-bin desktop-file-utils appstream dpkg-dev zip man-db
  xvfb xauth wine wine64
)

# lum_missing_packages [package...]: those not installed (default: LUM_PACKAGES).
lum_missing_packages() {
  local p
  [ $# -eq 0 ] && set -- "${LUM_PACKAGES[@]}"
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

lum_ensure_windows_deps() {
  lum_ensure_deps "${LUM_WINDOWS_PACKAGES[@]}"
}

lum_ensure_packaging_deps() {
  lum_ensure_deps "${LUM_PACKAGING_PACKAGES[@]}"
}

# lum_ensure_deps [package...]: installs those missing (default: LUM_PACKAGES).
lum_ensure_deps() {
  local missing
  missing=$(lum_missing_packages "$@" | tr '\n' ' ')
  [ -z "${missing// /}" ] && return 0
  echo "Installing: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# lum_build DIR [cmake options...]: configures once, then builds with all cores.
lum_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
