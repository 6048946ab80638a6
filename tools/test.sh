#!/bin/sh
# Installs what is missing, builds Dimra and runs every test: the test suite,
# the Python package's tests with its wheel installed in a virtual
# environment of its own (one item in the totals), the Windows build's suite
# under Wine (tools/build-windows.sh; the first run builds Qt for Windows,
# about 25 minutes on two cores), the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the
# checks of the Debian package (one item in the totals), a bounded run of
# each fuzz target (DIMRA_FUZZ_SECONDS each, default 30), and a last look
# that the run left the lock folder /var/lock as it found it.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh clang-14 libclang-rt-14-dev python3-venv

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

echo "== The Python package from its wheel, in a virtual environment of its own, with dimractl from PATH"
# As a Python user installs it: offline, seeing neither the system's packages
# nor the source tree. The package's own tests then run against what pip
# installed, at Dimra's version.
wheel_in_venv() {
    top=$PWD
    version=$(sed -n 's/^project(Dimra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    venv=$(mktemp -d)
    status=0
    /usr/bin/python3 -m venv "$venv/env" &&
        "$venv/env/bin/python" -m pip install --quiet --no-index --disable-pip-version-check \
            "build/python/dimra-$version-py3-none-any.whl" &&
        (cd "$venv" && env -u DIMRACTL -u PYTHONPATH PATH="$top/build/ctl:$PATH" DIMRA_BOARD="$top/build/board/dimra-board" \
            PYTHONPYCACHEPREFIX="$venv/pycache" LC_ALL=C.UTF-8 LANGUAGE= "$venv/env/bin/python" -c '
import importlib.metadata, sys, unittest, dimra
assert dimra.__file__.startswith(sys.prefix + "/"), "dimra from " + dimra.__file__
assert importlib.metadata.version("dimra") == sys.argv[1], importlib.metadata.version("dimra")
unittest.main(module=None, argv=["unittest", "discover", "-s", sys.argv[2], "-v"])' "$version" "$top/python/tests") ||
        status=1
    rm -rf "$venv"
    return $status
}
if wheel_in_venv; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "$passed passed, $failed failed"
    exit 1
fi

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
