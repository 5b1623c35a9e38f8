#!/bin/sh
# lumctl.exe under wine reads status records from controller-sim, which runs natively on the other end
# of a pseudo-terminal that wine sees as COM7.
#
#   lumctl-status.sh LUMCTL_EXE CONTROLLER_SIM PRELOAD_LIB
# Environment: WINEPREFIX, LUM_WINE (the fixture "wine" has started the server).
set -eu
lumctl=$1
sim=$2
preload=$3
: "${WINEPREFIX:?}" "${LUM_WINE:?}"
if [ ! -x "$sim" ]; then
  echo "controller-sim not found at $sim (build the native tree first)" >&2
  exit 1
fi
link="$WINEPREFIX/dosdevices/com7"
rm -f "$link"
"$sim" --link "$link" --interval 200 >/dev/null &
sim_pid=$!
out=$(mktemp)
trap 'kill $sim_pid 2>/dev/null || true; rm -f "$link" "$out"' EXIT
i=0
while [ ! -e "$link" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done

LD_PRELOAD="$preload" "$LUM_WINE" "$lumctl" -p COM7 status --json >"$out"
cat "$out"
# One JSON record at least, decoded from the simulator's status frames.
grep -q '{' "$out"
