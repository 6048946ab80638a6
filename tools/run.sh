#!/bin/sh
# Installs what is missing, builds Dimra and starts it.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh build
exec build/app/dimra "$@"
