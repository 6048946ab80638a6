#!/bin/sh
# Makes a static Qt for 64-bit Windows from Debian's qt6-base source, once,
# and prints the folder it is installed in. Later runs find it in the cache
# (DIMRA_CACHE, default ~/.cache/dimra), keyed by Qt's version and the
# configure options, and only print it.
#
# The source comes through the machine's configured Debian sources
# (tools/debian-source.sh); the system's apt sources are not changed.
# Progress goes to standard error.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "build-windows: $*" >&2; }

version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
toolchain="$top/cmake/mingw-w64-x86_64.cmake"

# Only what the window, dimractl and their tests need. Accessibility's
# bundled headers are not in the dfsg tarball; direct2d stays on because
# the windows platform plugin does not link without it in 6.4.
options="-DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
-DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
-DFEATURE_pkg_config=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF
-DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
-DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF
-DFEATURE_gif=OFF -DFEATURE_tabletevent=OFF -DFEATURE_sessionmanager=OFF
-DFEATURE_accessibility=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF
-DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
-DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
-DFEATURE_system_png=OFF -DFEATURE_testlib=ON"

key=$(printf '%s\n%s\n' "$options" "$(cat "$toolchain")" | sha256sum | cut -c1-12)
cache="${DIMRA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/dimra}"
prefix="$cache/qt-$version-mingw-w64-$key"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

work="$cache/qt-build-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
say "fetching Qt $version's source (qt6-base)"
src=$("$top/tools/debian-source.sh" qt6-base "$version" "$work")

started=$(date +%s)
say "configuring Qt for x86_64-w64-mingw32 (static, Release)"
# shellcheck disable=SC2086
cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    $options >"$work/configure.log" 2>&1 || {
    tail -n 40 "$work/configure.log" >&2
    say "Qt's configure failed; its log is $work/configure.log"
    exit 1
}
say "building Qt (about 25 minutes on two cores; once per cache)"
nice -n 10 cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    say "Qt's build failed; its log is $work/build.log"
    exit 1
}
cmake --install "$work/build" >"$work/install.log" 2>&1
touch "$prefix/.complete"
rm -rf "$work"
say "Qt for Windows built in $(( ($(date +%s) - started) / 60 )) min $(( ($(date +%s) - started) % 60 )) s: $prefix"
echo "$prefix"
