#!/bin/sh
# Fetches and unpacks a Debian source package for the Windows build:
#   tools/debian-source.sh PACKAGE VERSION|newest WORKDIR
# prints the unpacked source folder (WORKDIR/src).
#
# The source comes through the machine's own configured Debian sources:
# every deb entry of /etc/apt/sources.list and sources.list.d (one-line and
# deb822 forms) whose suite is this release's becomes a deb-src entry of a
# private apt configuration in WORKDIR, so a mirror or proxy the machine uses
# is used here too, and the system's apt configuration is left as it is.
# With "newest", the newest version the sources offer that can actually be
# fetched is taken (a suite may list a version whose files are missing).
set -eu
package=$1
version=$2
work=$3
say() { echo "build-windows: $*" >&2; }

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt_dir="$work/apt"
rm -rf "$apt_dir"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"

# One-line entries: "deb [options] URI SUITE COMPONENT..." of this release.
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$list" ] || continue
    awk -v rel="$codename" '
        $1 == "deb" {
            i = 2
            if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
            suite = $(i + 1)
            if (suite == rel || index(suite, rel "-") == 1) { sub(/^deb/, "deb-src"); print }
        }' "$list" >>"$apt_dir/sources.list"
done
# deb822 entries: each paragraph of this release, its Types made deb-src and
# its Suites narrowed to this release's.
for sources in /etc/apt/sources.list.d/*.sources; do
    [ -f "$sources" ] || continue
    awk -v rel="$codename" '
        function flush() {
            if (para != "" && keep && enabled) print para "Types: deb-src\nSuites:" suites "\n"
            para = ""; keep = 0; enabled = 1; suites = ""
        }
        BEGIN { enabled = 1 }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        tolower($1) == "types:" { next }
        tolower($1) == "enabled:" { if (tolower($2) == "no") enabled = 0; next }
        tolower($1) == "suites:" {
            for (i = 2; i <= NF; i++)
                if ($i == rel || index($i, rel "-") == 1) { suites = suites " " $i; keep = 1 }
            next
        }
        { para = para $0 "\n" }
        END { flush() }' "$sources" >"$apt_dir/parts/$(basename "$sources")"
done
if ! grep -qs . "$apt_dir/sources.list" "$apt_dir"/parts/*.sources; then
    say "this machine has no Debian package sources for ${codename:-its release} in /etc/apt/sources.list or /etc/apt/sources.list.d, so $package's source cannot be fetched."
    exit 1
fi

apt_own() {
    tool=$1
    shift
    "$tool" -q -o Dir::Etc::SourceList="$apt_dir/sources.list" \
        -o Dir::Etc::SourceParts="$apt_dir/parts" \
        -o Dir::State::Lists="$apt_dir/lists" \
        -o Dir::Cache="$apt_dir/cache" \
        -o APT::Sandbox::User="$(id -un)" "$@"
}
say "fetching $package's source through the configured Debian sources"
apt_own apt-get update >&2

if [ "$version" = newest ]; then
    candidates=$(apt_own apt-cache showsrc "$package" 2>/dev/null | awk '$1 == "Version:" { print $2 }' | sort -u -r -V)
else
    candidates=$version
fi
rm -rf "$work/fetch" "$work/src"
mkdir -p "$work/fetch"
for v in $candidates; do
    if (cd "$work/fetch" && apt_own apt-get source --download-only "$package=$v" >&2); then
        (cd "$work/fetch" && dpkg-source --no-check -x "${package}_"*.dsc ../src >&2)
        echo "$work/src"
        exit 0
    fi
    rm -rf "$work/fetch" && mkdir -p "$work/fetch"
done
say "no version of $package's source could be fetched (tried: $(echo $candidates))"
exit 1
