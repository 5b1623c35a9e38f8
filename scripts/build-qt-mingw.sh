#!/usr/bin/env bash
# Builds a static Qt 6 for 64-bit Windows (MinGW-w64, POSIX threads) from Debian's own qt6-base
# source, for the cross-build of the window (configurator.exe).
#
#   scripts/build-qt-mingw.sh            builds once, prints the install folder on the last line
#   scripts/build-qt-mingw.sh --print    prints the install folder, builds nothing
#
# The result goes to ~/.cache/lum-qt-mingw/<version>-<options hash>/ (LUM_QT_MINGW_CACHE changes the
# parent folder) and is complete when its file .complete exists: then the script does nothing. The
# host tools (moc, rcc, uic) are the build machine's own (qt6-base-dev-tools), so the source must be
# the same Qt version; the script refuses another one.
#
# The source comes through a private apt folder (a deb-src entry for the mirror /etc/apt uses), so
# /etc/apt stays as it is. Needs: dpkg-dev, g++-mingw-w64-x86-64-posix, cmake, ninja-build,
# qt6-base-dev-tools (scripts/deps.sh, lum_ensure_windows_deps).
set -euo pipefail

print_only=0
[ "${1:-}" = "--print" ] && print_only=1

# Features left out: what the window does not use. tabletevent must be off: Debian's source leaves
# out the wintab headers it needs on Windows.
QT_OPTIONS=(
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DFEATURE_opengl=OFF
  -DINPUT_opengl=no
  -DFEATURE_tabletevent=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_system_zlib=OFF
  -DCMAKE_BUILD_TYPE=Release
)

# The toolchain Qt is built with; part of the cache key.
read -r -d '' TOOLCHAIN <<'EOF' || true
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null) || {
  echo "build-qt-mingw: qt6-base-dev-tools is not installed" >&2; exit 1; }
upstream=${host_version%%+*}   # 6.4.2+dfsg-10 -> 6.4.2
upstream=${upstream%%-*}
hash=$(printf '%s\n' "${QT_OPTIONS[@]}" "$TOOLCHAIN" "$host_version" | sha256sum | cut -c1-12)
cache=${LUM_QT_MINGW_CACHE:-$HOME/.cache/lum-qt-mingw}
prefix=$cache/$upstream-$hash

if [ $print_only -eq 1 ] || [ -f "$prefix/.complete" ]; then
  [ $print_only -eq 0 ] && echo "build-qt-mingw: Qt $upstream for MinGW is ready (cache)" >&2
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work=$cache/work-$upstream-$hash
mkdir -p "$work"
cd "$work"

# 1. The source, through a private apt folder with a deb-src entry for the mirror in use.
apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
mirror=$(grep -h -m1 -E '^(URIs:|deb )' /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list \
  2>/dev/null | grep -o -m1 'https\?://[^ ]*debian/\?' | head -n1 || true)
mirror=${mirror:-http://deb.debian.org/debian}
cat >"$apt_dir/sources.list.d/debian-src.sources" <<EOF
Types: deb-src
URIs: $mirror
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
: >"$apt_dir/sources.list"
apt_opts=(
  -o Dir::Etc::SourceList="$apt_dir/sources.list"
  -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
  -o Debug::NoLocking=1
  -o APT::Sandbox::User=root
)
src_dir=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$upstream*" -print -quit)
if [ -z "$src_dir" ] || [ ! -f "$work/.source-complete" ]; then
  echo "build-qt-mingw: fetching Debian's qt6-base source ($mirror)" >&2
  apt-get "${apt_opts[@]}" update -qq
  src_version=$(apt-cache "${apt_opts[@]}" showsrc qt6-base | awk '/^Version:/ {print $2}' \
    | sort -V | tail -n1)
  if [ "${src_version%%+*}" != "$upstream" ]; then
    echo "build-qt-mingw: the source is qt6-base $src_version, the host tools are $host_version;" \
      "they must be the same Qt version" >&2
    exit 1
  fi
  # The exact Debian revision of the host tools when the mirror still has it, else the newest.
  want=qt6-base
  apt-cache "${apt_opts[@]}" showsrc qt6-base | grep -q "^Version: $host_version\$" && want=qt6-base=$host_version
  rm -rf "$work"/qt6-base-* "$work"/qt6-base_*
  apt-get "${apt_opts[@]}" source -qq "$want"
  touch "$work/.source-complete"
  src_dir=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$upstream*" -print -quit)
fi
[ -n "$src_dir" ] || { echo "build-qt-mingw: no qt6-base source folder in $work" >&2; exit 1; }
echo "build-qt-mingw: source $src_dir ($(du -sh "$src_dir" | cut -f1))" >&2

# 2. Configure, build, install.
printf '%s\n' "$TOOLCHAIN" >"$work/toolchain.cmake"
build=$work/build
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$src_dir" -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${QT_OPTIONS[@]}"
configured=$(date +%s)
echo "build-qt-mingw: configured in $(( configured - start )) s" >&2
cmake --build "$build" --parallel "${LUM_QT_JOBS:-$(nproc)}"
rm -rf "$prefix"
cmake --install "$build" >/dev/null
printf 'qt6-base %s\n%s\n' "$host_version" "$(printf '%s ' "${QT_OPTIONS[@]}")" >"$prefix/.complete"
rm -rf "$build"   # the source stays for a rebuild with other options
echo "build-qt-mingw: Qt $upstream for MinGW built in $(( $(date +%s) - start )) s" >&2
echo "$prefix"
