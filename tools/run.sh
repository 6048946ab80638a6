#!/bin/sh
# Installs what is missing, builds the window and the virtual board (only
# what it starts) and starts Dimra connected to COM1.
#
# Without a device named, it first starts the virtual board dimra-board on a
# pseudo-terminal and points COM1 at it; the board stops when the window
# closes. Name real hardware with --device (or set DIMRA_COM1) and no virtual
# board is started.
#
#   tools/run.sh [--device PATH] [--mode report|echo|quiet|noisy] [--trace]
set -eu
cd "$(dirname "$0")/.."

usage() {
    sed -n 's/^#   //p' "$0"
}

device="${DIMRA_COM1:-}"
board_args=""
while [ $# -gt 0 ]; do
    case "$1" in
        --device) [ $# -ge 2 ] || { usage >&2; exit 2; }; device="$2"; shift 2 ;;
        --mode) [ $# -ge 2 ] || { usage >&2; exit 2; }; board_args="$board_args --mode $2"; shift 2 ;;
        --trace) board_args="$board_args --trace"; shift ;;
        -h|--help) usage; exit 0 ;;
        *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    esac
done

tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target dimra dimra-board

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MSG'
Dimra has a window, but there is no display here (neither DISPLAY nor
WAYLAND_DISPLAY is set). On a machine without a screen, run it on a
virtual display instead:

    xvfb-run -a tools/run.sh
MSG
    exit 1
fi

if [ -n "$device" ]; then
    echo "COM1 = $device"
    DIMRA_COM1="$device" exec build/app/dimra --port COM1 --connect
fi

workdir=$(mktemp -d)
# shellcheck disable=SC2086
build/board/dimra-board $board_args >"$workdir/board.out" &
board=$!
trap 'kill "$board" 2>/dev/null; wait "$board" 2>/dev/null; rm -rf "$workdir"' EXIT
trap 'exit 130' INT TERM

tries=0
until grep -q '^DIMRA_COM1=' "$workdir/board.out"; do
    tries=$((tries + 1))
    if ! kill -0 "$board" 2>/dev/null || [ "$tries" -gt 100 ]; then
        echo "run.sh: the virtual board did not start" >&2
        exit 1
    fi
    sleep 0.05
done
head -n 1 "$workdir/board.out"
DIMRA_COM1=$(sed -n 's/^DIMRA_COM1=//p' "$workdir/board.out") build/app/dimra --port COM1 --connect
