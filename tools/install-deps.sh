#!/bin/sh
# Installs the Debian packages Dimra needs to build, run and test, if any are
# missing. Runs apt-get as root, or through sudo for a normal user.
set -eu

packages="cmake ninja-build g++
qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
libmosquitto-dev mosquitto mosquitto-clients pkg-config
python3-setuptools python3-wheel
fonts-wqy-microhei xvfb xauth $*"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "Need root to install$missing: run as root, or install sudo." >&2
    exit 1
fi
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
