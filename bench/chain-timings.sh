#!/bin/sh
# Transfer times of lumctl against controller-sim over its pseudo-terminal, from the start
# of lumctl to its exit (the wait for the first status record included):
#   - the configuration read (`read -o FILE`, 8 requests on a clean line) at status
#     intervals of 1000 ms and 200 ms (targets with chaining: under 1.5 s and 0.4 s);
#   - both journals (`journal`, 40 events and 8 alarms: 48 records, 50 requests) at
#     1000 ms (target: under 2 s);
# each with the simulator as it is (it listens after every frame of its own, so requests
# chain off its replies) and with --listen-after-status (it refuses chained requests: the
# tool must fall back to one request per status frame, within 10 % of the times of a tool
# that never chains). A simulator without that option (an older build) gives only the
# first line of each case. Runs start at phases spread over the status interval; the figures are the
# median, the fastest and the slowest run (two runs of the journals).
# With BASE_DIR (a build of the tool before chaining) each case is also run with that build,
# and the refused times are given as a share of its times.
# Usage: bench/chain-timings.sh [BUILD_DIR] [RUNS] [BASE_DIR]   (defaults: build, 5, none)
set -u
build=${1:-build}
runs=${2:-5}
base=${3:-}
dir=$(mktemp -d)
trap 'kill "$simpid" 2>/dev/null; rm -rf "$dir"' EXIT
simpid=
now() { date +%s%N; }

use_build() {  # BUILD_DIR: the lumctl and controller-sim measured
    lumctl=$1/lumctl
    sim=$1/controller-sim
    modes="plain"
    if "$sim" --help | grep -q -- --listen-after-status; then modes="plain --listen-after-status"; fi
}

start_sim() {  # INTERVAL [OPTION]
    "$sim" --interval "$1" ${2:+"$2"} --link "$dir/port" >/dev/null 2>&1 &
    simpid=$!
    while [ ! -e "$dir/port" ]; do sleep 0.02; done
}
stop_sim() { kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; rm -f "$dir/port"; simpid=; }

# The median, fastest and slowest of the millisecond figures on stdin.
summary() {
    sort -n | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "no run"; exit }
        printf "median %5.2f s  (%.2f … %.2f s, %d runs)", v[int((NR + 1) / 2)] / 1000, v[1] / 1000, v[NR] / 1000, NR }'
}

# CASE INTERVAL RUNS COMMAND...: one line of figures per simulator mode.
measure() {
    name=$1 interval=$2 count=$3
    shift 3
    for mode in $modes; do
        option=
        [ "$mode" = plain ] || option=$mode
        : > "$dir/times"
        failed=0
        start_sim "$interval" "$option"
        i=0
        while [ "$i" -lt "$count" ]; do
            # Spread the start over the status interval.
            sleep "$(awk -v i="$i" -v n="$count" -v t="$interval" 'BEGIN { printf "%.3f", 0.3 + t / 1000 * i / n }')"
            t0=$(now)
            if "$lumctl" -p "$dir/port" -q "$@" >/dev/null 2>"$dir/err"; then
                echo $(( ($(now) - t0) / 1000000 )) >> "$dir/times"
            else
                failed=$((failed + 1))
                sed 's/^/    /' "$dir/err"
            fi
            i=$((i + 1))
        done
        stop_sim
        label=$([ "$mode" = plain ] && echo "simulator as is" || echo "$mode")
        printf '%-28s %5d ms  %-28s %s' "$name" "$interval" "$label" "$(summary < "$dir/times")"
        sort -n "$dir/times" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] + 0 }' \
            > "$dir/median.$lumctl_dir.$interval.${name%% *}.$mode"
        [ "$failed" -eq 0 ] && echo || echo "  FAILED: $failed"
    done
}

all_cases() {
    echo "lumctl start to exit, controller-sim over its pseudo-terminal ($lumctl)"
    measure "configuration read" 1000 "$runs" read -o "$dir/image.txt"
    measure "configuration read" 200 "$runs" read -o "$dir/image.txt"
    # Without chaining a journal reading takes about 50 s: two runs each.
    measure "journals (48 records)" 1000 2 journal
}

lumctl_dir=new
use_build "$build"
all_cases
[ -n "$base" ] || exit 0
lumctl_dir=base
use_build "$base"
all_cases
echo "chaining refused, as a share of the plain protocol's time ($base):"
for key in 1000.configuration 200.configuration 1000.journals; do
    refused=$(cat "$dir/median.new.$key.--listen-after-status" 2>/dev/null)
    plain=$(cat "$dir/median.base.$key.plain" 2>/dev/null)
    [ -n "$refused" ] && [ -n "$plain" ] && [ "$plain" -gt 0 ] &&
        echo "  ${key#*.} at ${key%%.*} ms: $((refused * 100 / plain)) %"
done
