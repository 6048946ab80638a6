#!/bin/sh
# Makes Dimra for 64-bit Windows on Debian, in build-windows/:
#   dimra.exe, dimractl.exe and dimra-mqtt.exe   static, one file each, no DLLs beside them
#   dimra-<version>-py3-none-any.whl   the Python package, which the installer carries
#   dimra-setup-<version>.exe          the installer (NSIS)
# It installs what is missing (the MinGW-w64 cross compilers, Wine, NSIS),
# builds Qt for Windows from Debian's qt6-base source once, into a cache
# outside the clone that later runs reuse (tools/windows-qt.sh), and so
# libmosquitto with OpenSSL for dimra-mqtt.exe (tools/windows-mqtt.sh), then
# Dimra and its tests against them. Extra arguments go to CMake's configure
# step.
set -eu
cd "$(dirname "$0")/.."
say() { echo "build-windows: $*"; }

say "checking the packages"
# make and perl build OpenSSL; openssl makes the bridge test's certificates.
tools/install-deps.sh g++-mingw-w64-x86-64-posix wine64 fonts-wine nsis icoutils dpkg-dev perl make openssl xz-utils

qt=$(tools/windows-qt.sh)
say "Qt for Windows: $qt"
mqtt=$(tools/windows-mqtt.sh)
say "libmosquitto and OpenSSL for Windows: $mqtt"

say "configuring build-windows"
# qt-cmake brings Qt's own toolchain, which chains to ours; the host's Qt
# tools (moc, rcc, lrelease) do the build's own steps.
"$qt/bin/qt-cmake" -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DDIMRA_MQTT_PREFIX="$mqtt" "$@" >/dev/null

say "building dimra.exe, dimractl.exe, dimra-mqtt.exe and the tests"
started=$(date +%s)
cmake --build build-windows
say "making the installer"
cmake --build build-windows --target setup
say "built in $(( $(date +%s) - started )) s:"
ls -l build-windows/dimra.exe build-windows/dimractl.exe build-windows/dimra-mqtt.exe \
    build-windows/dimra-*-py3-none-any.whl build-windows/dimra-setup-*.exe
