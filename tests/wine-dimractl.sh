#!/bin/sh
# dimractl.exe under Wine sets the virtual board and reads it back, once
# with set --verify and once in a session, then reads it as COM15, a port
# above the twelve, which its list shows; given the installer in
# $DIMRA_SETUP, it puts dimractl on PATH; given a Linux dimra-mqtt, also
# behind it, through a mosquitto on 127.0.0.1, as mqtt://127.0.0.1:PORT/wine:
#   wine-dimractl.sh <dimractl.exe> <dimra-board> <folder> [<dimra-mqtt>]
# Wine maps COM1 and COM15 to the board's line (its Ports key) in a prefix
# of the test's own, made once in <folder>.
set -eu
ctl=$1 board=$2 dir=$3 bridge=${4:-}
wine=${DIMRA_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all
line="$dir/line"
mkdir -p "$dir"
if [ ! -f "$WINEPREFIX/.dimra-com1-com15" ]; then
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
    for port in COM1 COM15; do
        "$wine" reg add 'HKLM\Software\Wine\Ports' /v $port /d "$line" /f >/dev/null 2>&1
    done
    "${wine%/*}/wineserver" -w
    touch "$WINEPREFIX/.dimra-com1-com15"
fi

rm -f "$line"
"$board" --link "$line" &
board_pid=$!
pids=$board_pid
trap 'kill $pids 2>/dev/null || true' EXIT
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

out=$("$wine" "$ctl" -p COM15 -t 3000 get 2>&1) || status=$?
echo "$out"
case "$status:$out" in 0:*'ch2 9 %'*) ;; *) echo "dimractl.exe -p COM15 did not read ch2 at 9 (status $status)" >&2; exit 1 ;; esac
out=$("$wine" "$ctl" list 2>&1) || status=$?
echo "$out"
[ "$status" -eq 0 ] && printf '%s\n' "$out" | grep -q '^COM15	COM15	' && ! printf '%s\n' "$out" | grep -q '^COM1[34]' ||
    { echo "dimractl.exe list did not show COM15 alone above COM12 (status $status)" >&2; exit 1; }
# A number with no device is no such port, with the ports that have one.
out=$("$wine" "$ctl" -p COM14 get 2>&1) || status=$?
echo "$out"
case "$status:$out" in 3:*details:*COM15*) ;; *) echo "dimractl.exe -p COM14 was not no such port naming COM15" >&2; exit 1 ;; esac
# Text through a pipe is UTF-8, whatever code page the language has.
LANG=zh_CN.UTF-8 "$wine" "$ctl" --help | grep -q '用法' || { echo "dimractl.exe --help in Chinese is not UTF-8 in a pipe" >&2; exit 1; }
# A preset's name in any script reaches dimractl.exe whole, whatever code page
# the language has; saved from the board on COM1, the preset sets it back.
export DIMRA_PRESETS="Z:$dir/presets.json"
rm -f "$dir/presets.json"
status=0
out=$("$wine" "$ctl" -p COM1 preset save 暗场 --from-board 2>&1 && "$wine" "$ctl" -p COM1 off 2>&1 &&
      "$wine" "$ctl" -p COM1 preset apply 暗场 --verify 2>&1 && "$wine" "$ctl" --json preset list 2>&1) || status=$?
echo "$out"
case "$status:$out" in 0:*'{"name":"暗场","values":{"frequency":2500,"ch1":40,"ch2":9,"ch3":7}}'*) ;;
*) echo "dimractl.exe did not save the preset 暗场 from the board and apply it (status $status)" >&2; exit 1 ;; esac
# Quotes, backslashes (a trailing one too) and spaces in an argument come
# through as Windows splits a command line; so does an empty argument.
status=0
out=$("$wine" "$ctl" preset save --ch1 5 -- '"引" C:\a\\"b\ c\' 2>&1 && "$wine" "$ctl" --json preset list 2>&1 &&
      "$wine" "$ctl" preset delete -- '' 2>&1) || status=$?
printf '%s\n' "$out"
case "$status:$out" in 2:*'{"name":"\"引\" C:\\a\\\\\"b\\ c\\","values":{"ch1":5}}'*'no preset ""'*) ;;
*) echo "dimractl.exe did not take a name with quotes and backslashes whole, or an empty one (status $status)" >&2; exit 1 ;; esac
# Setup puts its folder on the system PATH once, after every entry there (an
# empty one too), and its uninstaller takes that entry away and no other; an
# entry of the user's for the folder (in any case, with a trailing "\") is
# the user's to keep.
if [ -f "${DIMRA_SETUP:-}" ]; then
    environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
    path() { "$wine" reg query "$environment" /v Path | tr -d '\r' | sed -n 's/.*REG_EXPAND_SZ *//p'; }
    was=$(path)
    # installs BEFORE INSTALLED: with PATH at BEFORE, Setup run twice leaves it INSTALLED, the uninstaller BEFORE.
    installs() {
        "$wine" reg add "$environment" /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null 2>&1
        for run in 1 2; do "$wine" "$DIMRA_SETUP" /S '/D=C:\Dimra'; done
        [ "$(path)" = "$2" ] || { printf 'Setup left PATH at %s, not %s\n' "$(path)" "$2" >&2; exit 1; }
        "$wine" 'C:\Dimra\uninstall.exe' /S '_?=C:\Dimra'
        [ "$(path)" = "$1" ] || { printf 'the uninstaller left PATH at %s, not %s\n' "$(path)" "$1" >&2; exit 1; }
    }
    installs 'C:\a;;C:\b' 'C:\a;;C:\b;C:\Dimra'
    installs 'C:\a;c:\dimra\;C:\b' 'C:\a;c:\dimra\;C:\b'
    "$wine" reg add "$environment" /v Path /t REG_EXPAND_SZ /d "$was" /f >/dev/null 2>&1
fi

# A board behind a bridge answers get as the board on COM1 does.
[ -n "$bridge" ] || exit 0
broker=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'allow_anonymous true\nuser %s\nlistener %s 127.0.0.1\n' "$(id -un)" "$broker" >"$dir/mosquitto.conf"
mosquitto -c "$dir/mosquitto.conf" >"$dir/broker.log" 2>&1 & pids="$pids $!"
"$bridge" -p "$line" --id wine --broker "127.0.0.1:$broker" >"$dir/bridge.log" 2>&1 & pids="$pids $!"
tries=0
until mosquitto_sub -h 127.0.0.1 -p "$broker" -t dimra/wine/availability -C 1 -W 1 2>/dev/null | grep -q online; do
    tries=$((tries + 1))
    [ "$tries" -le 30 ] || { echo "the bridge did not bring the board online" >&2; cat "$dir/bridge.log" >&2; exit 1; }
    sleep 0.1
done
status=0
out=$("$wine" "$ctl" -p "mqtt://127.0.0.1:$broker/wine" -t 3000 get 2>&1) || status=$?
echo "$out"
case "$status:$out" in 0:*'ch2 9 %'*) ;; *) echo "dimractl.exe -p mqtt://... did not read ch2 at 9 (status $status)" >&2; exit 1 ;; esac
