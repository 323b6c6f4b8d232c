#!/usr/bin/env bash
# The Debian package that cpack built: its dependencies, its files, and its
# program, unpacked into a root of its own and run.
set -euo pipefail
# velumin_VERSION in the build tree, and the source tree.
prefix=$1
source_dir=$2
debs=("${prefix}"_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}

. "$source_dir/scripts/virtual-desktop.sh"
use_work_dir
fail() { echo "FAIL: $*"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libx11-6 libxtst6 libc6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# apt-get would install it with what this machine has (a dry run).
apt-get install -s -q "$(readlink -f "$deb")" >"$work/apt.log" 2>&1 ||
    fail "apt-get cannot install it: $(cat "$work/apt.log")"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/velumin.desktop" \
    "$root/usr/share/velumin/autostart/velumin.desktop" || fail "invalid desktop entry"
for size in 16 32; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/velumin.png
    # The width and height in the PNG header.
    [ "$(od -An -tu4 --endian=big -j16 -N8 "$png" | tr -s ' ')" = " $size $size" ] ||
        fail "$png is not $size by $size"
done

# The access command, executable, and its rule where it looks for it.
[ -f "$root/usr/share/velumin/70-velumin-uinput.rules" ] || fail "no uinput rule"
status=0 && "$root/usr/sbin/velumin-uinput-access" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "velumin-uinput-access without on or off: status $status"

# The installed program runs from its unpacked root; the build tree's copy has
# the desktop to itself in the end-to-end runs.
version=$("$root/usr/bin/velumin" --version) || fail "the installed program does not run"
[ "$version" = "velumin $(dpkg-deb -f "$deb" Version)" ] ||
    fail "the program says \"$version\", the package $(dpkg-deb -f "$deb" Version)"
echo "package: $version installs and runs"
