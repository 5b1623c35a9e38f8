#!/bin/sh
# lumctl.exe under wine takes Cyrillic arguments and file names: a parameter named in Russian is set,
# a serial number in Cyrillic letters is written and read back, a file with a Cyrillic name is saved
# and decoded again. controller-sim runs natively on the pseudo-terminal wine sees as COM8.
#
#   lumctl-cyrillic.sh LUMCTL_EXE CONTROLLER_SIM PRELOAD_LIB
# Environment: WINEPREFIX, LUM_WINE (the fixture "wine" has started the server).
set -eu
lumctl=$1
sim=$2
preload=$3
: "${WINEPREFIX:?}" "${LUM_WINE:?}"
link="$WINEPREFIX/dosdevices/com8"
dir=$(mktemp -d)
rm -f "$link"
"$sim" --link "$link" --interval 200 >/dev/null &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$link" "$dir"' EXIT
i=0
while [ ! -e "$link" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
run() { LD_PRELOAD="$preload" timeout 60 "$LUM_WINE" "$lumctl" "$@"; }
fail() { echo "lumctl-cyrillic: $*" >&2; exit 1; }

out=$(run -p COM8 set "Параметры сети/Напряжение сети/Нижний порог=170") || fail "set ended with $?: $out"
echo "$out"
echo "$out" | grep -q "Проверено чтением" || fail "set not verified"

out=$(run -p COM8 --service-password 40617283 serial-number ЖЖЖЖЖЖЖЖ) || fail "serial-number ended with $?"
echo "$out"
echo "$out" | grep -q "ЖЖЖЖЖЖЖЖ" || fail "serial number not echoed in Cyrillic: $out"

cd "$dir"
run -p COM8 read --json -o "Настройки.json" || fail "read -o with a Cyrillic name ended with $?"
[ -s "$dir/Настройки.json" ] || fail "no file named Настройки.json"
out=$(run show "Настройки.json" --json) || fail "show of the Cyrillic file ended with $?"
python3 - "$out" <<'CHECK'
import json, sys
r = json.loads(sys.argv[1])
low = [p for p in r["parameters"] if p["path"] == "Параметры сети/Напряжение сети/Нижний порог"]
if not low or low[0]["value"] != "170":
    print("lumctl-cyrillic: the file does not hold the value set", file=sys.stderr)
    sys.exit(1)
CHECK
