#!/bin/sh
# The window under wine on a virtual display (Xvfb), against controller-sim running natively on the
# other end of a pseudo-terminal that wine sees as COM7:
#  1. the window's test program (tests/wine/WindowTest.cpp) checks the title, the frame counter of
#     the status bar and "Прочитать" on the window itself, and says where the tab and the button are;
#  2. configurator.exe --port COM7 must show its title, a status bar whose counter changes, and, after
#     clicks on "Параметры" and "Прочитать" at those places, the box "Параметры успешно прочитаны из
#     устройства.", whose text Ctrl+C copies to the clipboard (read back by wine-clipboard.exe).
# Every wait polls with a generous bound; nothing is taken from a fixed sleep.
#
#   configurator-window.sh CONFIGURATOR_EXE WINDOW_TEST_EXE CLIPBOARD_EXE CONTROLLER_SIM PRELOAD_LIB
# Environment: WINEPREFIX, LUM_WINE (the fixture "wine" has started the server); LUM_SHOTS_DIR, when
# set, receives screenshots of what the display showed.
set -eu
configurator=$1
window_test=$2
clipboard=$3
sim=$4
preload=$5
: "${WINEPREFIX:?}" "${LUM_WINE:?}"
[ -x "$sim" ] || { echo "controller-sim not found at $sim (build the native tree first)" >&2; exit 1; }
unset QT_QPA_PLATFORM  # the Windows platform plugin, on the display below

tmp=$(mktemp -d)
link="$WINEPREFIX/dosdevices/com7"
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  rm -f "$link"
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() { echo "configurator-window: $*" >&2; exit 1; }
# until SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds; fails after SECONDS.
until_ok() {
  limit=$(( $1 * 5 )); shift
  n=0
  while ! "$@" >/dev/null 2>&1; do
    n=$((n + 1))
    [ $n -lt $limit ] || return 1
    sleep 0.2
  done
}

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$tmp/display" 2>/dev/null &
pids="$pids $!"
until_ok 30 test -s "$tmp/display" || fail "Xvfb did not start"
DISPLAY=":$(cat "$tmp/display")"
export DISPLAY

rm -f "$link"
"$sim" --link "$link" --interval 200 >/dev/null &
pids="$pids $!"
until_ok 10 test -e "$link" || fail "controller-sim made no $link"

# 1. The window's test program.
rc=0
LUM_TEST_COM=COM7 LD_PRELOAD="$preload" timeout 300 "$LUM_WINE" "$window_test" >"$tmp/test.out" 2>&1 || rc=$?
cat "$tmp/test.out"
[ $rc -eq 0 ] || fail "the window's test program ended with $rc"
tab=$(sed -n 's/^CLICK tab \([0-9]*\) \([0-9]*\).*/\1 \2/p' "$tmp/test.out")
read_button=$(sed -n 's/^CLICK read \([0-9]*\) \([0-9]*\).*/\1 \2/p' "$tmp/test.out")
[ -n "$tab" ] && [ -n "$read_button" ] || fail "the test program did not say where to click"

# 2. configurator.exe itself.
title="ПО Конфигуратор v2a"
LD_PRELOAD="$preload" "$LUM_WINE" "$configurator" --port COM7 >"$tmp/configurator.out" 2>&1 &
pids="$pids $!"
until_ok 120 xdotool search --name "^$title\$" || fail "no window titled \"$title\""
wid=$(xdotool search --name "^$title\$" | head -n1)
[ "$(xdotool getwindowname "$wid")" = "$title" ] || fail "window title is \"$(xdotool getwindowname "$wid")\""

# The status bar's first panel (200 pixels wide, at the bottom) changes as frames are counted.
eval "$(xdotool getwindowgeometry --shell "$wid")"
panel() { import -window "$wid" -crop "200x18+0+$((HEIGHT - 20))" +repage rgb:- 2>/dev/null | md5sum; }
until_ok 60 sh -c '[ "$(import -window '"$wid"' -crop 200x18+0+'"$((HEIGHT - 20))"' +repage rgb:- 2>/dev/null | md5sum)" != "$1" ]' \
  - "$(panel)" || fail "the status bar's frame counter does not change"
[ -z "${LUM_SHOTS_DIR:-}" ] || { mkdir -p "$LUM_SHOTS_DIR"; import -window "$wid" "$LUM_SHOTS_DIR/window-com7.png"; }

# "Параметры", then "Прочитать"; the success box is titled "info". The clicks are repeated every
# 10 s until the box is there (a click that came before the page was drawn is lost; while the read
# runs the button is held, so a repeated click starts nothing).
click_read() {
  # shellcheck disable=SC2086
  xdotool mousemove --window "$wid" $tab click 1
  sleep 1  # time for the page to be drawn; a lost click is repeated below
  # shellcheck disable=SC2086
  xdotool mousemove --window "$wid" $read_button click 1
}
tries=0
click_read
until until_ok 10 xdotool search --name '^info$'; do
  tries=$((tries + 1))
  [ $tries -lt 12 ] || fail "no box after \"Прочитать\""
  click_read
done
box=$(xdotool search --name '^info$' | head -n1)
[ -z "${LUM_SHOTS_DIR:-}" ] || import -window "$box" "$LUM_SHOTS_DIR/read-box.png"
copied() {
  xdotool windowfocus --sync "$box" key ctrl+c
  "$LUM_WINE" "$clipboard" >"$tmp/clip" 2>/dev/null && grep -q "Параметры успешно прочитаны из устройства." "$tmp/clip"
}
until_ok 60 copied || { cat "$tmp/clip" 2>/dev/null; fail "the box does not say \"Параметры успешно прочитаны из устройства.\""; }
cat "$tmp/clip"
echo "configurator-window: title, frame counter and \"Прочитать\" checked"
