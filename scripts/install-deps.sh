#!/usr/bin/env bash
# Installs what the two builds and their tests need, from Debian's packages.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
    # Both builds
    cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev
    # Linux build: Qt 6 Widgets for tray and dialogs, Xlib with XTest and XKB
    qt6-base-dev libx11-dev libxtst-dev libbenchmark-dev
    # Qt's own texts (standard buttons, a text box's menu) in Japanese
    qt6-translations-l10n
    # Windows build, cross-compiled and run under Wine
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
    # Virtual desktop, tray host, input and screenshots for the integration tests
    xvfb xauth trayer xdotool x11-utils x11-xserver-utils imagemagick
    # Japanese glyphs: IPAGothic for Wine's dialog font, IPAexGothic for Qt
    fonts-ipafont-gothic fonts-ipaexfont-gothic
    # Private network namespaces with veth pairs
    iproute2 procps
    # The tray over D-Bus and Wayland: a private session bus with its monitor
    # and gdbus, Qt's Wayland platform, and the real panels the tests run on:
    # Xfce's panel with its settings daemon; sway with waybar, wayvnc (a
    # pointer and a keyboard for headless sway) and grim (screenshots)
    dbus-daemon dbus-bin libglib2.0-bin qt6-wayland xfce4-panel xfconf sway waybar wayvnc grim
    # The Debian package: its desktop entries checked, its dependencies found
    # by dpkg-shlibdeps (which needs file)
    desktop-file-utils dpkg-dev file
    # Sanitizers and libFuzzer
    clang-14 libclang-rt-14-dev
    # The QEMU guest for the devices this machine lacks: Debian's kernel and its
    # modules, busybox for the guest's first stage, kmod to list the modules;
    # weston on the guest's display, whose keyboards udev tags
    qemu-system-x86 linux-image-amd64 busybox-static kmod weston udev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
