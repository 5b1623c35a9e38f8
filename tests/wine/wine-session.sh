#!/bin/sh
# One wineserver for a whole test run: "start" makes the prefix once and leaves a persistent server
# (so that each test does not pay wine's start-up), "stop" ends it.
# Environment: WINEPREFIX, LUM_WINE (the wine loader); WINEDEBUG=-all keeps the output quiet.
set -eu
: "${WINEPREFIX:?}" "${LUM_WINE:?}"
dir=$(dirname "$LUM_WINE")
server=$(command -v wineserver || true)
[ -n "$server" ] || server="$dir/wineserver"
case "${1:-}" in
  start)
    mkdir -p "$WINEPREFIX"
    # The server first, so that everything after it (also the prefix's set-up) runs on it. A server
    # left from an earlier run is waited for; it would not stay.
    if ! "$server" -p </dev/null >/dev/null 2>&1; then
      "$server" -w
      "$server" -p </dev/null >/dev/null 2>&1
    fi
    if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
      "$LUM_WINE" wineboot -i </dev/null >/dev/null 2>&1
    fi
    # The session's own processes (services, devices) outlive this script: they must not hold the
    # test runner's output pipes.
    "$LUM_WINE" wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$server" -k || true
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
