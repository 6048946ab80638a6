#!/bin/sh
# Builds the Debian package (tools/package.sh) and checks it as an installed
# system would see it: the desktop entry and AppStream file validate, lintian
# finds no error, and, unpacked into a throw-away root, the programs start,
# the manual pages render without warnings, the completions answer and the
# maintainer scripts disable dimra-mqtt's service on removal.
# Prints one line a check, ends with "package check: passed" or
# "package check: failed", and exits non-zero on failure.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh desktop-file-utils appstream lintian man-db dpkg-dev file binutils python3-pip

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"

echo "Building the package (tools/package.sh)..."
if ! tools/package.sh >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    echo "package check: failed (the package did not build)"
    exit 1
fi
deb=$(tail -n 1 "$work/package.log")
dpkg-deb -x "$deb" "$root"
echo "$deb: $(stat -c %s "$deb") bytes"

passed=0
failed=0
# check <what> <command> [<argument>...]: runs the command; on failure shows
# what it printed.
check() {
    what=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "ok    $what"
        passed=$((passed + 1))
    else
        echo "FAIL  $what"
        sed 's/^/      /' "$work/out"
        failed=$((failed + 1))
    fi
}

app_id=org.dimra.Dimra
version=$(sed -n 's/^project(Dimra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

control_fields() {
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || { echo "Version is not $version"; return 1; }
    [ "$(dpkg-deb -f "$deb" Recommends)" = "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk, bash-completion, python3" ] ||
        { echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"; return 1; }
    # Depends comes from the linked libraries: Qt's widgets are among them.
    dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "Depends: $(dpkg-deb -f "$deb" Depends)"; return 1; }
    for field in Maintainer Section Description; do
        [ -n "$(dpkg-deb -f "$deb" "$field")" ] || { echo "no $field"; return 1; }
    done
}
check "control: version $version, Depends from the libraries, Recommends, Maintainer, Section" control_fields

files_present() {
    status=0
    for f in usr/bin/dimra usr/bin/dimra-board usr/bin/dimractl usr/bin/dimra-mqtt \
        usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
        usr/share/icons/hicolor/16x16/apps/$app_id.png usr/share/icons/hicolor/32x32/apps/$app_id.png \
        usr/share/icons/hicolor/48x48/apps/$app_id.png usr/share/icons/hicolor/256x256/apps/$app_id.png \
        usr/share/man/man1/dimra.1.gz usr/share/man/man1/dimra-board.1.gz usr/share/man/man1/dimractl.1.gz \
        usr/share/man/man1/dimra-mqtt.1.gz usr/share/doc/dimra/examples/mqtt.conf \
        usr/lib/systemd/system/dimra-mqtt.service \
        usr/share/bash-completion/completions/dimractl usr/share/bash-completion/completions/dimra-board \
        usr/share/bash-completion/completions/dimra-mqtt \
        usr/share/doc/dimra/copyright usr/share/doc/dimra/changelog.gz \
        usr/lib/python3/dist-packages/dimra/__init__.py usr/lib/python3/dist-packages/dimra/board.py \
        usr/lib/python3/dist-packages/dimra/errors.py usr/lib/python3/dist-packages/dimra/presetfile.py \
        usr/lib/python3/dist-packages/dimra/py.typed; do
        [ -f "$root/$f" ] || { echo "missing: $f"; status=1; }
    done
    return $status
}
check "the package holds the programs, menu entry, icons, AppStream file, manual pages, completions, unit, Python package" files_present

check "desktop-file-validate" desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
check "appstreamcli validate --no-net" appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"

icon_sizes() {
    for size in 16 32 48 256; do
        file "$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png" | grep -q "PNG image data, $size x $size," ||
            { echo "the ${size}x$size icon is not $size pixels square"; return 1; }
    done
}
check "each icon has the size of its directory" icon_sizes

# Wayland desktops match the window to its menu entry by this name.
desktop_name() {
    strings -e l "$root/usr/bin/dimra" | grep -qx "$app_id" || { echo "dimra does not name $app_id"; return 1; }
    grep -qx "Icon=$app_id" "$root/usr/share/applications/$app_id.desktop" || { echo "the entry's Icon is not $app_id"; return 1; }
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
        { echo "the AppStream file does not launch $app_id.desktop"; return 1; }
}
check "the window, its menu entry and AppStream file agree on $app_id" desktop_name

# Warnings and notes are shown too, for a person to judge.
run_lintian() {
    status=0
    lintian --fail-on error --display-info --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || status=$?
    return $status
}
check "lintian: no error" run_lintian
grep -v '^running with root privileges' "$work/lintian" | sed 's/^/      /'

board_help() {
    "$root/usr/bin/dimra-board" --help | grep -q -- '--mode'
}
check "dimra-board --help" board_help

# The window's --version needs no display.
window_version() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/dimra" --version | grep -qF "$version"
}
check "dimra --version without a display" window_version

ctl_version() {
    "$root/usr/bin/dimractl" --version | grep -qF "$version"
}
check "dimractl --version" ctl_version

mqtt_version() {
    "$root/usr/bin/dimra-mqtt" --version | grep -qF "$version"
}
check "dimra-mqtt --version" mqtt_version

# The Python package as Debian's python3 finds it installed, over the
# unpacked dimractl: its port list comes back, importlib.metadata and pip
# know it at Dimra's version, and nothing else comes with it.
python_package() {
    packages="$root/usr/lib/python3/dist-packages"
    PYTHONPATH="$packages" DIMRACTL="$root/usr/bin/dimractl" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c '
import importlib.metadata, sys, dimra
ports = dimra.list_ports()
assert [p["port"] for p in ports] == ["COM%d" % n for n in range(1, 13)], ports
assert importlib.metadata.version("dimra") == sys.argv[1], importlib.metadata.version("dimra")' "$version"
    listed=$(PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pip list --disable-pip-version-check --path "$packages" --format freeze)
    [ "$listed" = "dimra==$version" ] || { echo "pip list: $listed"; return 1; }
    [ -z "$(find "$packages/dimra" -name __pycache__)" ] || { echo "byte code in the package"; return 1; }
}
check "python3: import dimra, dimra.list_ports() over the unpacked dimractl; importlib.metadata and pip list: dimra $version" python_package

# The unit as systemd reads it, pointed at the unpacked program.
unit_verifies() {
    sed "s#/usr/bin/dimra-mqtt#$root/usr/bin/dimra-mqtt#" "$root/usr/lib/systemd/system/dimra-mqtt.service" \
        >"$work/dimra-mqtt.service"
    grep -q '^LoadCredential=mqtt.conf:/etc/dimra/mqtt.conf$' "$root/usr/lib/systemd/system/dimra-mqtt.service" ||
        { echo "the unit does not hand /etc/dimra/mqtt.conf over as the credential mqtt.conf"; return 1; }
    grep -q '^ExecStart=/usr/bin/dimra-mqtt -c %d/mqtt.conf$' "$root/usr/lib/systemd/system/dimra-mqtt.service" ||
        { echo "ExecStart does not run /usr/bin/dimra-mqtt -c %d/mqtt.conf"; return 1; }
    status=0
    systemd-analyze verify --man=no "$work/dimra-mqtt.service" || status=$?
    return $status
}
if command -v systemd-analyze >/dev/null 2>&1; then
    check "systemd-analyze verify dimra-mqtt.service" unit_verifies
else
    echo "skip  systemd-analyze verify dimra-mqtt.service (systemd-analyze is not installed)"
fi

# The window runs until something ends it: still running when the timeout
# stops it (status 124) means that it started and opened.
window_opens() {
    status=0
    QT_QPA_PLATFORM=offscreen timeout -s TERM 5 "$root/usr/bin/dimra" || status=$?
    [ "$status" -eq 124 ] || { echo "dimra ended with status $status before the timeout"; return 1; }
}
check "the window opens on the offscreen platform and closes on SIGTERM" window_opens

# The English pages render in any locale, a plain C one too.
man_renders() {
    status=0
    LC_ALL=$2 MANWIDTH=80 man --warnings -l "$1" >/dev/null 2>"$work/man.err" || status=$?
    cat "$work/man.err"
    [ "$status" -eq 0 ] && [ ! -s "$work/man.err" ]
}
for page in "$root"/usr/share/man/man1/*.1.gz; do
    for locale in C C.UTF-8; do
        check "LC_ALL=$locale man -l $(basename "$page") without warnings" man_renders "$page" "$locale"
    done
done

# Asks the completion of each program, as bash does on Tab.
completions() {
    bash -c '
        set -u
        dir=$1/usr/share/bash-completion/completions
        . "$dir/dimractl"
        . "$dir/dimra-board"
        . "$dir/dimra-mqtt"
        status=0
        expect() {
            want=$1; shift
            function=$(complete -p "$1" | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
            COMP_WORDS=("$@")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMPREPLY=()
            "$function"
            if [ "${COMPREPLY[*]}" != "$want" ]; then
                echo "$* <Tab>: \"${COMPREPLY[*]}\", not \"$want\""
                status=1
            fi
        }
        expect "list get set off monitor session preset" dimractl ""
        expect "mqtt:// mqtts://" dimractl list ""
        expect "set session" dimractl -p COM1 -t 500 s
        expect "COM1 COM10 COM11 COM12" dimractl -p COM1
        expect "--freq --ch2 --ch3 --verify" dimractl set --ch1 40 --
        expect "report echo quiet noisy" dimra-board --mode ""
        expect "--no-pacing" dimra-board --no
        expect "COM1 COM10 COM11 COM12" dimra-mqtt -p COM1
        expect "--bridge-id --broker" dimra-mqtt -p COM1 --br
        expect "--no-discovery" dimra-mqtt -p COM1 --restore --no
        exit $status
    ' sh "$root"
}
check "bash completion of dimractl, dimra-board and dimra-mqtt" completions

# The maintainer scripts, run on a throw-away root as dpkg would run them
# there (DPKG_ROOT): removal takes away the link that enabling made.
maintainer_scripts() {
    mkdir -p "$work/control"
    dpkg-deb -e "$deb" "$work/control"
    for script in postinst prerm postrm; do
        [ -x "$work/control/$script" ] || { echo "no executable $script"; return 1; }
        sh -n "$work/control/$script" || return 1
    done
    grep -q 'daemon-reload' "$work/control/postinst" && grep -q 'daemon-reload' "$work/control/postrm" ||
        { echo "postinst or postrm does not reload systemd"; return 1; }
    grep -q 'deb-systemd-invoke stop dimra-mqtt.service' "$work/control/prerm" || { echo "prerm does not stop the service"; return 1; }
    wants="$work/fakeroot/etc/systemd/system/$(sed -n 's/^WantedBy=//p' "$root/usr/lib/systemd/system/dimra-mqtt.service").wants"
    mkdir -p "$wants"
    ln -s /usr/lib/systemd/system/dimra-mqtt.service "$wants/dimra-mqtt.service"
    DPKG_ROOT="$work/fakeroot" "$work/control/prerm" upgrade 1.0.0.2
    [ -L "$wants/dimra-mqtt.service" ] || { echo "an upgrade disabled the service"; return 1; }
    DPKG_ROOT="$work/fakeroot" "$work/control/prerm" remove
    [ ! -e "$wants/dimra-mqtt.service" ] && [ ! -L "$wants/dimra-mqtt.service" ] ||
        { echo "prerm remove left the service enabled"; return 1; }
}
check "maintainer scripts: systemd reloads, removal stops and disables dimra-mqtt" maintainer_scripts

if [ "$failed" -eq 0 ]; then
    echo "package check: passed ($passed checks)"
else
    echo "package check: failed ($failed of $((passed + failed)) checks)"
    exit 1
fi
