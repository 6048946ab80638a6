#!/bin/sh
# Installs what is missing, builds Dimra and runs every test: the test suite,
# the Windows build's suite under Wine (tools/build-windows.sh; the first
# run builds Qt for Windows, about 25 minutes on two cores), the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the
# checks of the Debian package (one item in the totals), a bounded run of
# each fuzz target (DIMRA_FUZZ_SECONDS each, default 30), and a last look
# that the run left the lock folder /var/lock as it found it.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh clang-14 libclang-rt-14-dev

passed=0
failed=0
# The lock folder as the run found it: serial ports leave nothing behind.
locks_before=$(ls -A /var/lock 2>/dev/null | sort)
# Runs one ctest suite and adds its counts to the totals.
run_suite() {
    log=$(mktemp)
    status=0
    ctest --test-dir "$1" --output-on-failure -j2 2>&1 | tee "$log" || status=1
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    total=$(echo "$summary" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
    [ -n "$total" ] || { echo "test.sh: no test ran in $1" >&2; exit 1; }
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    if [ "$status" -ne 0 ] || [ "$bad" -ne 0 ]; then
        echo "$passed passed, $failed failed"
        exit 1
    fi
}

echo "== Test suite"
tools/build.sh build
run_suite build

echo "== Windows: the programs and the installer, the suite under Wine, dimractl.exe on the virtual board"
tools/build-windows.sh -DDIMRA_HOST_BOARD="$PWD/build/board/dimra-board"
run_suite build-windows

echo "== Test suite with AddressSanitizer and UndefinedBehaviorSanitizer"
tools/build.sh build-asan -DDIMRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
run_suite build-asan

echo "== Debian package"
if tools/check-package.sh; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "$passed passed, $failed failed"
    exit 1
fi

echo "== Fuzz targets, ${DIMRA_FUZZ_SECONDS:-30} s each"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDIMRA_FUZZ=ON -DBUILD_TESTING=OFF -DDIMRA_FUZZ_SECONDS="${DIMRA_FUZZ_SECONDS:-30}" >/dev/null
cmake --build build-fuzz --target dimra_fuzzers
run_suite build-fuzz

echo "== The lock folder"
locks_after=$(ls -A /var/lock 2>/dev/null | sort)
if [ "$locks_before" = "$locks_after" ]; then
    passed=$((passed + 1))
else
    echo "test.sh: the run changed /var/lock; before:" $locks_before "; after:" $locks_after >&2
    failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
