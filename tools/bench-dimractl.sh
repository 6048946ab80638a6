#!/bin/sh
# Times "dimractl set --ch1 40" as a script runs it, whole process, against
# the virtual board paced at 9600 baud: prints the median of RUNS runs
# (default 20) and its ratio to the line time the exchange is measured by.
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
trap 'kill $board 2>/dev/null; rm -f "$log" "$raw"' EXIT
device=""
for _ in $(seq 50); do
    device=$(sed -n 's/^DIMRA_COM1=//p' "$log")
    [ -n "$device" ] && break
    sleep 0.1
done
[ -n "$device" ] || { echo "bench-dimractl.sh: the virtual board did not start" >&2; exit 1; }

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
