#!/bin/sh
# What the window spends on a live line, against what `lumctl status --follow` spends on the
# same kind of line: each runs against its own simulated controller sending a status record
# every 100 ms (10 records a second); after a settling time, the processor time of all threads
# (nanoseconds on the processor, /proc/PID/task/*/schedstat) and their context switches
# (wake-ups, /proc/PID/task/*/status) are taken over the measuring time.
#
#   bench/window_cpu.sh [build folder, default build] [seconds, default 30] [configurator, default BUILD/configurator]
#
# The window runs on the display in $DISPLAY when one is set (Xvfb), otherwise on Qt's
# offscreen platform.
set -eu
build=${1:-build}
seconds=${2:-30}
window=${3:-$build/configurator}
settle=5
tmp=$(mktemp -d)
pids=""
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT INT TERM


start_sim() {  # $1: name; prints the pseudo-terminal's path
    "$build/controller-sim" --interval 100 --seed 7 >"$tmp/$1.out" 2>&1 &
    pids="$pids $!"
    for _ in $(seq 50); do
        path=$(head -n 1 "$tmp/$1.out" 2>/dev/null || true)
        case "$path" in /dev/*) echo "$path"; return 0 ;; esac
        sleep 0.1
    done
    echo "controller-sim did not start" >&2
    exit 1
}

cpu_us() {  # time on the processor of all threads of a process, in microseconds
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s / 1000 }'
}

switches() {  # voluntary + involuntary context switches of all threads
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(non)?voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }'
}

measure() {  # $1: label, $2: pid
    sleep "$settle"
    t0=$(cpu_us "$2"); c0=$(switches "$2")
    sleep "$seconds"
    t1=$(cpu_us "$2"); c1=$(switches "$2")
    awk -v l="$1" -v t="$((t1 - t0))" -v c="$((c1 - c0))" -v s="$seconds" 'BEGIN {
        printf "%-26s CPU %6.3f %% of a core (%.1f ms in %d s, %.0f us a record), %6.1f wake-ups/s\n",
               l, t / s / 1e4, t / 1e3, s, t / (10 * s), c / s }'
    echo "$1 $((t1 - t0))" >>"$tmp/ticks"
}

pty_window=$(start_sim window)
pty_cli=$(start_sim cli)

if [ -z "${DISPLAY:-}" ]; then export QT_QPA_PLATFORM=offscreen; fi
"$window" --port "$pty_window" >"$tmp/window.log" 2>&1 &
wpid=$!
pids="$pids $wpid"
"$build/lumctl" -p "$pty_cli" status --follow >/dev/null 2>"$tmp/cli.log" &
cpid=$!
pids="$pids $cpid"

echo "10 records/s (controller-sim --interval 100), ${seconds} s after ${settle} s settling:"
measure "window (configurator)" "$wpid" &
m1=$!
measure "lumctl status --follow" "$cpid" &
m2=$!
wait "$m1" "$m2"
awk '{ v[$1] = $NF } END { if (v["lumctl"] > 0) printf "window / lumctl: %.1f x\n", v["window"] / v["lumctl"] }' "$tmp/ticks"
