#!/bin/sh
# Load of `lumctl mqtt` against controller-sim at a 1000 ms status interval, on a mosquitto
# started here on 127.0.0.1 (a free port, no persistence): CPU share of one core and resident
# memory (at start, at the end, the most) of lumctl over the run, and the messages it published
# per minute (counted by a mosquitto_sub on its topics), split into state, values and the rest.
# Usage: bench/mqtt-load.sh [BUILD_DIR] [SECONDS]   (defaults: build, 600)
set -u
build=${1:-build}
seconds=${2:-600}
dir=$(mktemp -d)
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; rm -rf "$dir"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" > "$dir/mosquitto.conf"
mosquitto -c "$dir/mosquitto.conf" >"$dir/broker.log" 2>&1 & pids="$pids $!"
"$build/controller-sim" --interval 1000 --link "$dir/port" >/dev/null 2>&1 & pids="$pids $!"
while [ ! -e "$dir/port" ]; do sleep 0.05; done
sleep 0.5
stdbuf -oL mosquitto_sub -h 127.0.0.1 -p "$port" -t 'lumctl/#' -t 'homeassistant/#' -F '%U %t' \
    > "$dir/messages" 2>/dev/null & pids="$pids $!"
sleep 0.5
"$build/lumctl" -p "$dir/port" mqtt --broker "127.0.0.1:$port" --allow-commands 2>"$dir/lumctl.err" &
lumctl=$!
pids="$pids $lumctl"
# Started once its availability is out (the serial number read, the discovery configs sent).
until grep -q '/availability$' "$dir/messages" 2>/dev/null || ! kill -0 "$lumctl" 2>/dev/null; do
    sleep 0.2
done
sleep 1
ticks() { awk '{print $14 + $15}' "/proc/$lumctl/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$lumctl/status"; }
hz=$(getconf CLK_TCK)
cpu0=$(ticks); rss0=$(rss); max=$rss0; t0=$(date +%s%N)
elapsed=0
while [ "$elapsed" -lt "$seconds" ]; do
    sleep 5
    elapsed=$((elapsed + 5))
    r=$(rss); [ "$r" -gt "$max" ] && max=$r
done
cpu1=$(ticks); rss1=$(rss); t1=$(date +%s%N)
wall_ms=$(( (t1 - t0) / 1000000 ))
awk -v c0="$cpu0" -v c1="$cpu1" -v hz="$hz" -v ms="$wall_ms" 'BEGIN {
    printf "lumctl mqtt over %.0f s: CPU %.2f %% of one core (%.2f s CPU)\n", ms / 1000, (c1 - c0) / hz * 100000 / ms, (c1 - c0) / hz }'
echo "resident memory: ${rss0} kB at start, ${rss1} kB at the end, ${max} kB at most"
# Messages whose arrival time (mosquitto_sub's %U, seconds.nanoseconds) lies in the window.
awk -v t0="$t0" -v t1="$t1" -v ms="$wall_ms" '$1 * 1e9 >= t0 && $1 * 1e9 < t1 {
    n++; if ($2 ~ /\/state$/) s++; else if ($2 ~ /^homeassistant\//) d++; else v++ }
    END { m = ms / 60000; printf "messages per minute: %.1f (state %.1f, values %.1f, discovery %.1f)\n", n / m, s / m, v / m, d / m }' "$dir/messages"
kill "$lumctl"; wait "$lumctl"
echo "lumctl exit code on SIGTERM: $?"
grep -v '^lumctl mqtt: брокер' "$dir/lumctl.err" | head -5
