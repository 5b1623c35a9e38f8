#!/bin/sh
# The window under wine on a virtual display (Xvfb), Windows platform plugin, against controller-sim
# running natively on the other end of a pseudo-terminal that wine sees as COM7: the window's test
# program (tests/wine/WindowTest.cpp) checks the title, the frame counter and "Прочитать".
#
#   configurator-window.sh WINDOW_TEST_EXE CONTROLLER_SIM PRELOAD_LIB
# Environment: WINEPREFIX, LUM_WINE (the fixture "wine" has started the server).
set -eu
window_test=$1
sim=$2
preload=$3
: "${WINEPREFIX:?}" "${LUM_WINE:?}"
[ -x "$sim" ] || { echo "controller-sim not found at $sim (build the native tree first)" >&2; exit 1; }
unset QT_QPA_PLATFORM  # the Windows platform plugin, on the display below
tmp=$(mktemp -d)
link="$WINEPREFIX/dosdevices/com7"
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null || true; done; rm -f "$link"; rm -rf "$tmp"' EXIT
# wait_for FILE: polls until FILE is there, at most 30 s.
wait_for() {
  n=0
  while [ ! -s "$1" ] && [ ! -L "$1" ]; do
    n=$((n + 1)); [ $n -lt 150 ] || { echo "configurator-window: no $1" >&2; exit 1; }
    sleep 0.2
  done
}
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$tmp/display" 2>/dev/null &  # picks a free display
pids="$pids $!"
wait_for "$tmp/display"
rm -f "$link"
"$sim" --link "$link" --interval 200 >/dev/null &
pids="$pids $!"
wait_for "$link"
DISPLAY=":$(cat "$tmp/display")" LUM_TEST_COM=COM7 LD_PRELOAD="$preload" timeout 600 "$LUM_WINE" "$window_test"
