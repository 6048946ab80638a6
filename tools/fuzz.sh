#!/bin/sh
# Longer fuzzing campaigns: builds the fuzz targets and runs each for the
# given number of seconds (default 600), keeping what they learn in
# build-fuzz/tests/fuzz/<target>/corpus for the next campaign. Findings are
# written to build-fuzz/tests/fuzz/<target>/artifacts.
#
#   tools/fuzz.sh [seconds] [receive|text|board_reader ...]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-600}"
[ $# -gt 0 ] && shift
targets="${*:-receive text board_reader}"

tools/install-deps.sh clang-14 libclang-rt-14-dev
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDIMRA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --target dimra_fuzzers

status=0
for t in $targets; do
    work="build-fuzz/tests/fuzz/$t"
    echo "== fuzz_$t for $seconds s"
    "$work/../fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" "$work/corpus" "tests/fuzz/corpus/$t" || status=1
done
exit $status
