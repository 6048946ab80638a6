#!/bin/sh
# Runs a Windows test program under Wine for ctest (the Windows build's
# CMAKE_CROSSCOMPILING_EMULATOR): wine-qtest.sh <tst_x.exe> [arguments].
#
# The Wine prefix is WINEPREFIX, made on first use (the first test of a
# parallel run makes it, the others wait). A program under Wine has no
# console to print to, so Qt Test writes its results to a file, which is
# printed here; the exit status is the program's.
set -eu
wine=${DIMRA_WINE:-/usr/lib/wine/wine64}
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix the tests run in}"
export WINEPREFIX WINEDEBUG=-all
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/.dimra-ready" ]; then
        WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
        touch "$WINEPREFIX/.dimra-ready"
    fi
) 9>"$WINEPREFIX.lock"

program=$1
shift
result=$(mktemp)
trap 'rm -f "$result" "$result.wine"' EXIT
status=0
"$wine" "$program" "$@" -o "Z:$result,txt" >"$result.wine" 2>&1 || status=$?
cat "$result"
# Wine's own words, for a program that did not get as far as its results.
[ "$status" -eq 0 ] || tail -n 20 "$result.wine"
exit "$status"
