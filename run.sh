#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the tool connected to the
# built-in simulated controller. Extra arguments go to the tool (e.g. --port COM1).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
lum_ensure_deps
lum_build build
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--demo)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting under a virtual X server (xvfb-run)."
  exec xvfb-run -a ./build/configurator "${args[@]}"
fi
exec ./build/configurator "${args[@]}"
