#!/bin/sh
# dimra-mqtt.exe under Wine bridges the virtual board on COM1 to a mosquitto
# of the test's own, in a console over MQTT and TLS, reads a configuration
# in a folder with a Chinese name, then runs as a service:
#   wine-dimramqtt.sh <dimra-mqtt.exe> <dimra-board> <folder>
set -eu
exe=$(readlink -f "$1") board=$2 dir=$3
wine=${DIMRA_WINE:-/usr/lib/wine/wine64}
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all
line="$dir/line" messages="$dir/messages.log" log="$dir/prefix/drive_c/ProgramData/Dimra/mqtt.log"
mkdir -p "$dir"
if [ ! -f "$WINEPREFIX/.dimra-com1" ]; then
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$line" /f >/dev/null 2>&1
    touch "$WINEPREFIX/.dimra-com1"
fi
fail() {
    echo "$*" >&2
    for f in "$dir"/*.log "$log"; do [ ! -f "$f" ] || { echo "== $f"; cut -c1-200 "$f"; } >&2; done
    exit 1
}
# within COMMAND...: COMMAND succeeds within 30 s, or the test fails naming it.
within() {
    tries=0
    until "$@"; do
        tries=$((tries + 1)) && [ "$tries" -le 300 ] || fail "not within 30 s: $*"
        sleep 0.1
    done
}
# seen TEXT FILE [N]: a line of FILE after its first N has TEXT.
seen() { tail -n +$((${3:-0} + 1)) "$2" | grep -qF -- "$1"; }
port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
publish() { mosquitto_pub -h 127.0.0.1 -p "$plain" "$@"; }
# A service outlives the last ordinary Wine process only while wineserver is
# kept (here for 30 s after it, so that a test cut short leaves nothing running).
"${wine%/*}/wineserver" -w && "${wine%/*}/wineserver" -p30
pids=""
trap '"${wine%/*}/wineserver" -k; kill $pids 2>/dev/null || true' EXIT
rm -f "$dir"/*.log "$line" "$log" "${log%/*}/mqtt.old.log"
plain=$(port) tls=$(port)
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$dir/broker.key" -out "$dir/ca.pem" 2>/dev/null
printf 'allow_anonymous true\nuser %s\nlistener %s 127.0.0.1\nlistener %s 127.0.0.1\ncertfile %s\nkeyfile %s\n' \
    "$(id -un)" "$plain" "$tls" "$dir/ca.pem" "$dir/broker.key" >"$dir/mosquitto.conf"
mosquitto -c "$dir/mosquitto.conf" >"$dir/broker.log" 2>&1 & pids="$pids $!"
"$board" --link "$line" --trace >"$dir/board.log" 2>&1 & pids="$pids $!"
within test -e "$line"
within publish -t up -m up
mosquitto_sub -h 127.0.0.1 -p "$plain" -v -t 'dimra/#' -t 'homeassistant/#' >"$messages" 2>&1 & pids="$pids $!"
# bridge ID CHANNEL PERCENT ARGUMENTS...: dimra-mqtt.exe -p COM1 ARGUMENTS publishes
# board ID and its discovery, takes a set of CHANNEL to PERCENT to the board,
# and on Ctrl+C ends with status 0 and publishes offline.
bridge() {
    id=$1 channel=$2 percent=$3 && shift 3
    "$wine" "$exe" -p COM1 "$@" >"$dir/bridge-$id.log" 2>&1 &
    pid=$!
    within seen "dimra/$id/state {\"linked\":true" "$messages"
    within seen "homeassistant/light/dimra_$id/ch$channel/config" "$messages"
    publish -t "dimra/$id/set" -m "{\"ch$channel\":$percent}"
    within seen "set channel $channel = $percent %" "$dir/board.log"
    before=$(wc -l <"$messages")
    kill -INT "$pid"
    wait "$pid" || fail "dimra-mqtt.exe ended with status $? after Ctrl+C, not 0"
    within seen "dimra/$id/availability offline" "$messages" "$before"
}
# Without --id a board's id is its port's: COM1 gives com1.
bridge com1 1 33 --broker "127.0.0.1:$plain"
bridge viatls 2 44 --id viatls --broker "127.0.0.1:$tls" --ca-file "Z:$dir/ca.pem"
# A configuration in a folder with a Chinese name is read: its refusal names its line.
mkdir -p "$dir/配置"
printf '[board.a]\nport=COM1\nbogus=1\n' >"$dir/配置/mqtt.conf"
status=0
out=$(LANG=C.UTF-8 "$wine" "$exe" -c "Z:$dir/配置/mqtt.conf" 2>&1) || status=$?
case "$status:$out" in 2:*"配置/mqtt.conf:3:"*) ;; *) fail "dimra-mqtt.exe did not read the configuration in 配置 (status $status): $out" ;; esac
# Wine lets everyone read a file that Linux lets others read: the service's log says so.
mkdir -p "${log%/*}"
# A log past 1 MiB is kept as mqtt.old.log, and the service begins a new one.
head -c 1048577 /dev/zero | tr '\0' x >"$log"
printf '[broker]\nhost=127.0.0.1\nport=%s\n[board.a]\nport=COM1\nid=service\n' "$plain" >"${log%/*}/mqtt.conf"
chmod 644 "${log%/*}/mqtt.conf"
"$wine" sc delete dimra-mqtt >/dev/null 2>&1 || true # left by a run that failed
"$wine" sc create dimra-mqtt binPath= "\"Z:$(echo "$exe" | tr / '\\')\" -c C:\\ProgramData\\Dimra\\mqtt.conf" >/dev/null
"$wine" sc start dimra-mqtt >/dev/null || fail "sc start failed"
within seen "dimra/service/state {\"linked\":true" "$messages"
"$wine" sc query dimra-mqtt | grep -q RUNNING || fail "the service is not running"
before=$(wc -l <"$messages")
"$wine" sc stop dimra-mqtt >/dev/null || fail "sc stop failed"
within seen "dimra/service/availability offline" "$messages" "$before"
stopped() { "$wine" sc query dimra-mqtt | grep -q STOPPED; }
within stopped
"$wine" sc delete dimra-mqtt >/dev/null
grep -q "mqtt.conf can be read by Everyone" "$log" || fail "the service's log does not warn that everyone may read its configuration"
[ "$(wc -c <"${log%/*}/mqtt.old.log")" -eq 1048577 ] && [ "$(wc -c <"$log")" -lt 65536 ] \
    || fail "the service's log of more than 1 MiB was not kept as mqtt.old.log and begun again"
