#!/bin/sh
# Reads of the configuration across a network with a delay, on the way
#   lumctl -p tcp://127.0.0.1:P -> bench_delay_proxy (D ms each way) -> ser2net (raw TCP) -> pty -> controller-sim
# swept over the one-way delay D at the simulator's listening windows 250 and 1000 ms; prints per point
# the reads tried, the reads that succeeded and their mean time. Everything listens on 127.0.0.1 only.
# Usage: bench/network-latency.sh [BUILD_DIR]   (READS=3 reads per point; DELAYS, WINDOWS to change the sweep)
set -u
build=${1:-build}
reads=${READS:-3}
delays=${DELAYS:-"0 50 100 150 200 300 400"}
windows=${WINDOWS:-"250 1000"}
dir=$(mktemp -d)
pids=""
cleanup() { for p in $pids; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
trap "exit 130" INT TERM
command -v ser2net >/dev/null || { echo "ser2net is not installed (scripts/deps.sh)"; exit 1; }

# A port of 127.0.0.1 that no socket uses now.
free_port() {
    while :; do
        p=$(( 20000 + $(od -An -N2 -tu2 /dev/urandom) % 40000 ))
        grep -qi ":$(printf '%04X' "$p") " /proc/net/tcp || { echo "$p"; return; }
    done
}
now() { date +%s%N; }
# Waits until ser2net has let go of the pseudo-terminal after its client left (a client that comes
# earlier is taken and hung up).
released() {
    i=0
    while [ $i -lt 100 ] && ls -l /proc/"$s2npid"/fd 2>/dev/null | grep -q -- "-> $pty\$"; do sleep 0.05; i=$((i + 1)); done
}

printf '%-8s %-10s %-7s %-9s %s\n' window delay_ms tried succeeded mean_ms
for window in $windows; do
    rm -f "$dir/port"
    "$build/controller-sim" --window "$window" --link "$dir/port" >/dev/null 2>&1 &
    simpid=$!
    i=0
    while [ ! -e "$dir/port" ]; do i=$((i + 1)); [ $i -gt 200 ] && exit 1; sleep 0.05; done
    pty=$(readlink -f "$dir/port")
    s2nport=$(free_port)
    printf 'connection: &bench\n  accepter: tcp,127.0.0.1,%s\n  connector: serialdev,%s,9600n81,local\n' \
        "$s2nport" "$pty" > "$dir/ser2net.yaml"
    ser2net -n -u -c "$dir/ser2net.yaml" -P "$dir/ser2net.pid" >/dev/null 2>&1 &
    s2npid=$!
    pids="$pids $simpid $s2npid"
    i=0
    while ! grep -q "$(printf '0100007F:%04X' "$s2nport") 00000000:0000 0A" /proc/net/tcp; do
        i=$((i + 1)); [ $i -gt 200 ] && { echo "ser2net did not start"; exit 1; }
        sleep 0.05
    done
    for delay in $delays; do
        "$build/bench/bench_delay_proxy" --to "$s2nport" --delay "$delay" --seconds 900 > "$dir/proxy" &
        proxypid=$!
        i=0
        while ! grep -q listening "$dir/proxy" 2>/dev/null; do
            i=$((i + 1)); [ $i -gt 250 ] && { echo "bench_delay_proxy did not start"; exit 1; }
            sleep 0.02
        done
        proxyport=$(sed -n 's/listening //p' "$dir/proxy")
        ok=0 total=0 n=0
        while [ $n -lt "$reads" ]; do
            released
            t0=$(now)
            if "$build/lumctl" -q -p "tcp://127.0.0.1:$proxyport" read -o "$dir/read.txt" >/dev/null 2>"$dir/err"; then
                ok=$((ok + 1))
                total=$((total + ($(now) - t0) / 1000000))
            fi
            n=$((n + 1))
        done
        kill "$proxypid" 2>/dev/null
        wait "$proxypid" 2>/dev/null
        mean=-
        [ $ok -gt 0 ] && mean=$((total / ok))
        printf '%-8s %-10s %-7s %-9s %s\n' "$window" "$delay" "$reads" "$ok" "$mean"
    done
    kill "$s2npid" "$simpid" 2>/dev/null
    wait "$s2npid" "$simpid" 2>/dev/null
    pids=""
done
