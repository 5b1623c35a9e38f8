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

# status without --follow prints one record and ends; the timeout keeps a hang from lasting.
rc=0
LD_PRELOAD="$preload" timeout 60 "$LUM_WINE" "$lumctl" -p COM7 status --json >"$out" || rc=$?
cat "$out"
if [ $rc -ne 0 ]; then
  echo "lumctl.exe ended with $rc" >&2
  exit 1
fi
# One JSON document carrying controller-sim's default model: model 200, the motor-hours counter it
# starts with (12345 minutes; the engine is not turning), the mains phases within its 205..245 V.
python3 - "$out" <<'CHECK'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    r = json.load(f)
errors = []
def expect(what, ok):
    if not ok:
        errors.append(what)
expect("model == 200", r.get("model") == 200)
expect("model_name set", bool(r.get("model_name")))
expect("motor_minutes == 12345", r.get("motor_minutes") == 12345)
expect("minutes_to_service == 6000", r.get("minutes_to_service") == 6000)
v = r.get("voltage", {})
for phase in ("phase_a", "phase_b", "phase_c"):
    expect(phase + " in 205..245", isinstance(v.get(phase), int) and 205 <= v[phase] <= 245)
expect("battery in 12.4..14.6 V", isinstance(v.get("battery"), (int, float)) and 12.4 <= v["battery"] <= 14.6)
expect("flags.three_phase", r.get("flags", {}).get("three_phase") is True)
for e in errors:
    print("lumctl-status: expected " + e, file=sys.stderr)
sys.exit(1 if errors else 0)
CHECK
