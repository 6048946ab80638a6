#!/bin/sh
# Installs what is missing, builds Dimra for /usr in its own build directory
# (build-deb) and makes the Debian package; prints the package's path last.
set -eu
cd "$(dirname "$0")/.."
# dpkg-dev: the compiler flags and dpkg-shlibdeps; file: how CPack finds the
# programs whose libraries make the Depends line.
tools/install-deps.sh dpkg-dev file

dir=build-deb
# Debian's compiler and linker flags, with every hardening feature.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$dir"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)

set -- "$PWD/$dir"/*.deb
[ -f "$1" ] || { echo "package.sh: CPack made no package" >&2; exit 1; }
echo "$1"
