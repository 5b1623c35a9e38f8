#!/bin/sh
# Figures of lumctl against controller-sim at a 1000 ms status interval:
#   - from a killed line (the simulator ended mid-command) to the exit of read, write and journal;
#   - the time of a one-way command (sms-test);
#   - the exit of `status --follow | head -1` after head has gone.
# Usage: bench/lumctl-timings.sh [BUILD_DIR]   (default: build)
set -u
build=${1:-build}
lumctl=$build/lumctl
sim=$build/controller-sim
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
now() { date +%s%N; }
ms() { echo $(( ($2 - $1) / 1000000 )); }

start_sim() {
    "$sim" --interval 1000 --link "$dir/port" >/dev/null 2>&1 &
    simpid=$!
    while [ ! -e "$dir/port" ]; do sleep 0.05; done
}
stop_sim() { kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; rm -f "$dir/port"; }

printf '%s\n' 170 > /dev/null
for command in read "write $dir/image.txt" journal; do
    start_sim
    [ -e "$dir/image.txt" ] || "$lumctl" -p "$dir/port" -q read -o "$dir/image.txt" >/dev/null 2>&1
    if [ "${command%% *}" = write ]; then  # something to change, so that blocks go out
        sed -i '1s/^[0-9]*/17/' "$dir/image.txt"
    fi
    "$lumctl" -p "$dir/port" $command >/dev/null 2>&1 &
    pid=$!
    sleep 2.5
    killed=$(now)
    stop_sim
    wait "$pid"
    code=$?
    echo "killed line -> exit of ${command%% *}: $(ms "$killed" "$(now)") ms (exit code $code)"
done

start_sim
sleep 1.2
t0=$(now)
"$lumctl" -p "$dir/port" -q sms-test
echo "one-way command (sms-test): $(ms "$t0" "$(now)") ms (exit code $?)"

{ "$lumctl" -p "$dir/port" status --follow; now > "$dir/exited"; } | { head -1 >/dev/null; now > "$dir/gone"; }
echo "status --follow | head -1: exit $(ms "$(cat "$dir/gone")" "$(cat "$dir/exited")") ms after head has gone"
stop_sim
