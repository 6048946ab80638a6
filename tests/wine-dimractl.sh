#!/bin/sh
# dimractl.exe under Wine sets the virtual board and reads it back, once
# with set --verify and once in a session:
#   wine-dimractl.sh <dimractl.exe> <dimra-board> <folder>
# Wine maps COM1 to the board's line (its Ports key) in a prefix of the
# test's own, made once in <folder>.
set -eu
ctl=$1 board=$2 dir=$3
wine=${DIMRA_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all
line="$dir/line"
mkdir -p "$dir"
if [ ! -f "$WINEPREFIX/.dimra-com1" ]; then
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$line" /f >/dev/null 2>&1
    "${wine%/*}/wineserver" -w
    touch "$WINEPREFIX/.dimra-com1"
fi

rm -f "$line"
"$board" --link "$line" &
board_pid=$!
trap 'kill $board_pid 2>/dev/null || true' EXIT
tries=0
until [ -e "$line" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || { echo "dimra-board made no line at $line" >&2; exit 1; }
    sleep 0.1
done

status=0
out=$("$wine" "$ctl" -p COM1 -t 3000 set --freq 2500 --ch1 40 --ch3 7 --verify 2>&1) || status=$?
echo "$out"
[ "$status" -eq 0 ] || { echo "dimractl.exe ended with status $status, not 0" >&2; exit 1; }

# A session reads its requests on a thread of its own on Windows.
out=$(printf '%s\n' '{"op":"set","values":{"ch2":9}}' '{"op":"get"}' '{"op":"close"}' |
      "$wine" "$ctl" -p COM1 session 2>&1) || status=$?
echo "$out"
[ "$status" -eq 0 ] || { echo "dimractl.exe session ended with status $status, not 0" >&2; exit 1; }
case "$out" in
*'"ch2":9,'*) ;;
*) echo "dimractl.exe session did not read back ch2 at 9" >&2; exit 1 ;;
esac
