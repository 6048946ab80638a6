#!/bin/sh
# Times "dimractl set --ch1 40" as a script runs it, whole process, against
# the virtual board paced at 9600 baud: prints the median of RUNS runs
# (default 20) and its ratio to the line time the exchange is measured by.
# Where mosquitto and dimra-mqtt are, then times get, set, set --verify and
# list on a local board and on one behind dimra-mqtt (mqtt://127.0.0.1:PORT/
# bench, both boards paced), as a table.
# Usage: tools/bench-dimractl.sh [build directory] (built beforehand).
set -eu
cd "$(dirname "$0")/.."
dir="${1:-build}"
runs="${RUNS:-20}"
ctl="$dir/ctl/dimractl"
board_program="$dir/board/dimra-board"
[ -x "$ctl" ] && [ -x "$board_program" ] || { echo "bench-dimractl.sh: build first (tools/build.sh $dir)" >&2; exit 1; }

log=$(mktemp)
raw=$(mktemp)
"$board_program" >"$log" 2>/dev/null &
board=$!
pids=$board
work=$(mktemp -d)
trap 'kill $pids 2>/dev/null; rm -rf "$log" "$raw" "$work"' EXIT
# The device of the board whose output is in $1.
board_device() {
    device=""
    for _ in $(seq 50); do
        device=$(sed -n 's/^DIMRA_COM1=//p' "$1")
        [ -n "$device" ] && break
        sleep 0.1
    done
    [ -n "$device" ] || { echo "bench-dimractl.sh: the virtual board did not start" >&2; exit 1; }
    echo "$device"
}
device=$(board_device "$log")

# Milliseconds of each of RUNS runs of a command, sorted, one a line; a
# failed run ends the benchmark.
time_runs() {
    : >"$raw"
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" >/dev/null || { echo "bench-dimractl.sh: $* failed" >&2; exit 1; }
        end=$(date +%s%N)
        echo "$(( (end - start) / 1000 ))" >>"$raw"
    done
    sort -n "$raw" | awk '{ printf "%.1f\n", $1 / 1000 }'
}
median() {
    awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}

set_times=$(time_runs "$ctl" -p "$device" set --ch1 40) || exit 1
start_times=$(time_runs "$ctl" --version) || exit 1
set_median=$(echo "$set_times" | median)
start_median=$(echo "$start_times" | median)

# Open-link out (7 bytes), the board's report in (4 replies, 30 bytes) and
# one channel frame out (8 bytes) are 45 bytes at 960 bytes a second; the
# target is set against about 55 ms for that exchange.
echo "dimractl set --ch1 40, whole process, $runs runs: median $set_median ms" \
    "(fastest $(echo "$set_times" | head -n 1), slowest $(echo "$set_times" | tail -n 1))"
echo "dimractl --version (process start-up alone): median $start_median ms"
awk -v m="$set_median" 'BEGIN { printf "45 bytes on the line take %.1f ms; ratio to the 55 ms line time: %.2f\n", 45000 / 960, m / 55 }'

bridge_program="$dir/bridge/dimra-mqtt"
command -v mosquitto >/dev/null && [ -x "$bridge_program" ] || exit 0
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nuser %s\n' "$port" "$(id -un)" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >/dev/null 2>&1 &
pids="$pids $!"
"$board_program" >"$work/board.log" 2>/dev/null &
pids="$pids $!"
bridged=$(board_device "$work/board.log")
DIMRA_LOCK_DIR="$work" "$bridge_program" -p "$bridged" --id bench --broker "127.0.0.1:$port" 2>/dev/null &
pids="$pids $!"
remote="mqtt://127.0.0.1:$port/bench"
for _ in $(seq 100); do
    "$ctl" -p "$remote" -t 300 get >/dev/null 2>&1 && break
    sleep 0.1
done
# row WHAT LOCAL-ARGUMENTS REMOTE-ARGUMENTS: the medians (fastest to slowest) of both.
row() {
    what=$1 local_args=$2 remote_args=$3
    # shellcheck disable=SC2086
    local_times=$(time_runs "$ctl" $local_args) || exit 1
    # shellcheck disable=SC2086
    remote_times=$(time_runs "$ctl" $remote_args) || exit 1
    printf '| `dimractl %s` | %s ms (%s to %s) | %s ms (%s to %s) |\n' "$what" \
        "$(echo "$local_times" | median)" "$(echo "$local_times" | head -n 1)" "$(echo "$local_times" | tail -n 1)" \
        "$(echo "$remote_times" | median)" "$(echo "$remote_times" | head -n 1)" "$(echo "$remote_times" | tail -n 1)"
}
echo
echo "| command, whole process, $runs runs | local board | behind dimra-mqtt |"
echo "|---|---|---|"
row "get" "-p $device get" "-p $remote get"
row "set --ch1 40" "-p $device set --ch1 40" "-p $remote set --ch1 40"
row "set --ch1 40 --verify" "-p $device set --ch1 40 --verify" "-p $remote set --ch1 40 --verify"
row "list" "list" "list mqtt://127.0.0.1:$port"
