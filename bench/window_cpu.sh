#!/bin/sh
# What the window spends on a live line, against what `lumctl status --follow` spends on the
# same kind of line: each runs against its own simulated controller sending a status record
# every 100 ms (10 records a second); after a settling time, the processor time of all threads
# (nanoseconds on the processor, /proc/PID/task/*/schedstat) and their context switches
# (wake-ups, /proc/PID/task/*/status) are sampled once a second over the measuring time.
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
sleep "$settle"
# One sample a second of both processes, so that a second in which the machine itself was busy
# (a virtual machine's host, another job) weighs on the ratio of that second only: the median
# of the per-second ratios is the figure to hold against the target.
for i in $(seq 0 "$seconds"); do
    echo "$i $(cpu_us "$wpid") $(switches "$wpid") $(cpu_us "$cpid") $(switches "$cpid")"
    [ "$i" -lt "$seconds" ] && sleep 1
done >"$tmp/samples"
awk -v s="$seconds" '
    NR == 1 { w0 = $2; wc0 = $3; c0 = $4; cc0 = $5 }
    NR > 1 { dw = $2 - pw; dc = $4 - pc; if (dc > 0) r[++n] = dw / dc }
    { pw = $2; pc = $4; w1 = $2; wc1 = $3; c1 = $4; cc1 = $5 }
    function line(l, t, c) {
        printf "%-26s CPU %6.3f %% of a core (%.1f ms in %d s, %.0f us a record), %6.1f wake-ups/s\n",
               l, t / s / 1e4, t / 1e3, s, t / (10 * s), c / s
    }
    END {
        line("window (configurator)", w1 - w0, wc1 - wc0)
        line("lumctl status --follow", c1 - c0, cc1 - cc0)
        if (c1 > c0) printf "window / lumctl over the whole time: %.1f x\n", (w1 - w0) / (c1 - c0)
        # insertion sort of the per-second ratios
        for (i = 2; i <= n; i++) { v = r[i]; for (j = i - 1; j > 0 && r[j] > v; j--) r[j + 1] = r[j]; r[j + 1] = v }
        if (n > 0) printf "window / lumctl, median of %d one-second ratios: %.1f x (quartiles %.1f, %.1f)\n",
                          n, r[int((n + 1) / 2)], r[int((n + 3) / 4)], r[int((3 * n + 3) / 4)]
    }' "$tmp/samples"
