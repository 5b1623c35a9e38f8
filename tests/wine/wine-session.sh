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
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$LUM_WINE" wineboot -i </dev/null >/dev/null 2>&1
    fi
    # The server and the session's own processes (services, devices) outlive this script: they must
    # not hold the test runner's output pipes.
    "$server" -p </dev/null >/dev/null 2>&1
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
