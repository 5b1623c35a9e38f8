#!/bin/sh
# The serial round-trip benchmark natively and for the Windows build under wine, on pseudo-terminals
# whose other end echoes (wine-pty-peer of the wine tests), so the two figures can be set side by side.
# Wine adds its own cost (its serial calls go through the wine server); the figure is for comparison.
#
#   bench/wine-roundtrip.sh NATIVE_BUILD WINDOWS_BUILD [frames] [pace_ms]
set -eu
native=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
frames=${3:-300}
pace=${4:-10}
peer="$win/tests/wine/wine-pty-peer"
preload="$win/tests/wine/libptyioctl.so"
export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all
LUM_WINE=${LUM_WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
export LUM_WINE
link=$(mktemp -u /tmp/lum-roundtrip.XXXXXX)

echo "--- native (POSIX backend)"
"$peer" --link "$link" -- "$native/bench/bench_serial_roundtrip" "$link" "$frames" "$pace"

echo "--- Windows build under wine (Win32 backend)"
sh "$(dirname "$0")/../tests/wine/wine-session.sh" start
"$peer" --preload "$preload" --link "$WINEPREFIX/dosdevices/com9" -- \
  "$LUM_WINE" "$win/bench/bench_serial_roundtrip.exe" COM9 "$frames" "$pace"
sh "$(dirname "$0")/../tests/wine/wine-session.sh" stop
