#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
lum_ensure_deps
werror=OFF
[ -n "${CI:-}" ] && werror=ON
lum_build build -DLUM_WERROR=$werror
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
