#!/bin/sh
# The window under wine on a virtual display (Xvfb), Windows platform plugin, against controller-sim
# running natively on the other end of a pseudo-terminal that wine sees as COM7: the window's test
# program (tests/wine/WindowTest.cpp) checks the title, the frame counter, "Прочитать" and the
# journals; then configurator.exe itself is started on the port, found on the display by its title,
# and its status bar is seen to follow the controller's frames.
#
#   configurator-window.sh WINDOW_TEST_EXE CONTROLLER_SIM PRELOAD_LIB [CONFIGURATOR_EXE]
# Environment: WINEPREFIX, LUM_WINE (the fixture "wine" has started the server).
set -eu
window_test=$1
sim=$2
preload=$3
configurator=${4:-}
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
export DISPLAY=":$(cat "$tmp/display")"
# The session's desktop process, started without a display by the fixture, would keep every window
# of this test off the screen: it goes, and the first window below starts one on this display.
pkill -f 'explorer.exe /desktop' 2>/dev/null || true
LUM_TEST_COM=COM7 LD_PRELOAD="$preload" timeout 600 "$LUM_WINE" "$window_test"
[ -n "$configurator" ] || exit 0

# fail MESSAGE: the program's own output, then the message.
fail() {
  cat "$tmp/configurator.log" >&2
  echo "configurator-window: $1" >&2
  exit 1
}
LD_PRELOAD="$preload" "$LUM_WINE" "$configurator" --port COM7 >"$tmp/configurator.log" 2>&1 &
pids="$pids $!"
export LC_ALL=C.UTF-8
window=$(timeout 180 xdotool search --sync --onlyvisible --name 'Конфигуратор' | head -n1) ||
  fail "the window did not show within 180 s"
title=$(xdotool getwindowname "$window")
[ "$title" = "ПО Конфигуратор v2a" ] || fail "window title \"$title\""
# status_bar N: the bottom strip of the window (the status bar) as picture N.
status_bar() {
  import -window "$window" "$tmp/window$1.png" && convert "$tmp/window$1.png" -gravity South -crop 100%x22+0+0 +repage "$tmp/bar$1.png"
}
# The frame counter goes up with the controller's frames (every 200 ms): within 60 s the strip changes.
status_bar 0
n=0
while :; do
  sleep 1
  status_bar 1
  [ "$(compare -metric AE "$tmp/bar0.png" "$tmp/bar1.png" null: 2>&1 || true)" = 0 ] || break
  n=$((n + 1)); [ $n -lt 60 ] || fail "the status bar did not change in 60 s"
done
echo "configurator-window: \"$title\" shown, its status bar follows the frames"
