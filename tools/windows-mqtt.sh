#!/bin/sh
# Makes the MQTT client library for 64-bit Windows, once: OpenSSL (static,
# for TLS) and libmosquitto (static, with TLS) from Debian's openssl and
# mosquitto sources, cross-built with MinGW-w64. Prints the folder they are
# installed in (include/ and lib/). Later runs find it in the cache
# (DIMRA_CACHE, default ~/.cache/dimra, beside Qt), keyed by both versions
# and the build options, and only print it.
#
# The sources come through the machine's configured Debian sources
# (tools/debian-source.sh). Progress goes to standard error.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "build-windows: $*" >&2; }

toolchain="$top/cmake/mingw-w64-x86_64.cmake"
# Only the client library: no broker, no programs, no threads (the bridge
# runs mosquitto on its own event loop).
openssl_options="mingw64 --cross-compile-prefix=x86_64-w64-mingw32- CC=gcc-posix
no-shared no-tests no-module no-legacy no-engine no-dso --libdir=lib"
mosquitto_options="-DCMAKE_BUILD_TYPE=Release -DWITH_STATIC_LIBRARIES=ON -DWITH_TLS=ON
-DWITH_TLS_PSK=OFF -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF
-DWITH_PLUGINS=OFF -DWITH_CJSON=OFF -DDOCUMENTATION=OFF -DWITH_LIB_CPP=OFF
-DWITH_SOCKS=OFF -DWITH_THREADING=OFF -DWITH_SRV=OFF -DOPENSSL_USE_STATIC_LIBS=ON"

key=$(printf '%s\n%s\n%s\n' "$openssl_options" "$mosquitto_options" "$(cat "$toolchain")" | sha256sum | cut -c1-12)
cache="${DIMRA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/dimra}"
# The versions are whichever the sources offered when the cache was made.
for done in "$cache"/mqtt-*-mingw-w64-"$key"/.complete; do
    if [ -f "$done" ]; then
        dirname "$done"
        exit 0
    fi
done

work="$cache/mqtt-build-$key"
rm -rf "$work"
mkdir -p "$work/openssl" "$work/mosquitto"
openssl_src=$("$top/tools/debian-source.sh" openssl newest "$work/openssl")
mosquitto_src=$("$top/tools/debian-source.sh" mosquitto newest "$work/mosquitto")
openssl_version=$(cd "$openssl_src" && dpkg-parsechangelog -S Version)
mosquitto_version=$(cd "$mosquitto_src" && dpkg-parsechangelog -S Version)
prefix="$cache/mqtt-openssl-$openssl_version-mosquitto-$mosquitto_version-mingw-w64-$key"
rm -rf "$prefix"

started=$(date +%s)
say "building OpenSSL $openssl_version for x86_64-w64-mingw32 (static)"
# shellcheck disable=SC2086
(cd "$openssl_src" && ./Configure $openssl_options --prefix="$prefix" >"$work/openssl.log" 2>&1 \
    && nice -n 10 make -j "$(nproc)" build_libs >>"$work/openssl.log" 2>&1 \
    && make install_dev >>"$work/openssl.log" 2>&1) || {
    tail -n 40 "$work/openssl.log" >&2
    say "OpenSSL's build failed; its log is $work/openssl.log"
    exit 1
}
openssl_done=$(date +%s)
say "OpenSSL built in $((openssl_done - started)) s"

say "building libmosquitto $mosquitto_version for x86_64-w64-mingw32 (static, TLS)"
# CMake's FindOpenSSL takes LIB_EAY and SSL_EAY under MinGW.
# shellcheck disable=SC2086
(cmake -S "$mosquitto_src" -B "$work/mosquitto/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DOPENSSL_ROOT_DIR="$prefix" -DOPENSSL_INCLUDE_DIR="$prefix/include" \
    -DLIB_EAY="$prefix/lib/libcrypto.a" -DSSL_EAY="$prefix/lib/libssl.a" \
    $mosquitto_options >"$work/mosquitto.log" 2>&1 \
    && nice -n 10 cmake --build "$work/mosquitto/build" --target libmosquitto_static >>"$work/mosquitto.log" 2>&1) || {
    tail -n 40 "$work/mosquitto.log" >&2
    say "libmosquitto's build failed; its log is $work/mosquitto.log"
    exit 1
}
cp "$work/mosquitto/build/lib/libmosquitto_static.a" "$prefix/lib/libmosquitto.a"
cp "$mosquitto_src/include/mosquitto.h" "$mosquitto_src/include/mqtt_protocol.h" "$prefix/include/"
finished=$(date +%s)
say "libmosquitto built in $((finished - openssl_done)) s"
printf 'openssl %s %s s\nmosquitto %s %s s\n' "$openssl_version" "$((openssl_done - started))" \
    "$mosquitto_version" "$((finished - openssl_done))" >"$prefix/build-times"
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
