#!/usr/bin/env bash
# Boots a QEMU guest on Debian's kernel over this machine's own files and runs
# one command in it as root: the devices this machine lacks (a 16550A UART on
# ttyS1, a PS/2 keyboard with its LEDs, a display for DRM, uinput, loadable
# modules) for the tests. The guest reaches QEMU's monitor through the virtio
# port named velumin.monitor: "sendkey caps_lock" presses a key on the keyboard.
#
#   tests/vm/run.sh [--timeout SECONDS] [--] COMMAND [ARG...]
#
# The command runs in the current directory with this machine's files (read-only,
# with a writable layer in memory); its output and exit status come back as its
# own. A guest that does not power off within the time limit is ended: status 124.
set -euo pipefail

timeout=300
while [ $# -gt 0 ]; do
    case $1 in
        --timeout) timeout=$2; shift 2 ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--timeout S] [--] COMMAND [ARG...]" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
kernel=$(ls /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n 1)
[ -n "$kernel" ] || { echo "$0: no kernel in /boot: install linux-image-amd64" >&2; exit 2; }
release=${kernel#/boot/vmlinuz-}

work=$(mktemp -d "${TMPDIR:-/tmp}/velumin-vm.XXXXXX")
trap 'rm -rf "$work"' EXIT
share=$work/share
mkdir -p "$share" "$work/initrd/bin" "$work/initrd/modules"

# The first stage: busybox and the modules that reach the root over 9p.
cp /bin/busybox "$work/initrd/bin/busybox"
for module in 9p 9pnet_virtio virtio_pci overlay; do
    modprobe -S "$release" --show-depends "$module"
done | awk '$1 == "insmod" && !seen[$2]++ { print $2 }' >"$work/modules"
while read -r module; do
    cp "$module" "$work/initrd/modules/"
    basename "$module" >>"$work/initrd/modules/order"
done <"$work/modules"
install -m 755 "$here/init.sh" "$work/initrd/init"
(cd "$work/initrd" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$work/initrd.gz"

{
    printf 'cd %q && ' "$PWD"
    printf '%q ' "$@"
    echo
} >"$share/command"

# The monitor listens on a socket that the virtio port connects to, so that
# what the guest writes to the port is the monitor's input.
status=0
timeout -k 10 "$timeout" qemu-system-x86_64 -accel tcg -machine pc -m 1536 -smp 1 \
    -nodefaults -no-reboot -display none -vga std -nic none \
    -chardev socket,id=monitor,path="$work/monitor",server=on,wait=off -mon monitor \
    -chardev socket,id=port,path="$work/monitor" -device virtio-serial \
    -device virtserialport,chardev=port,name=velumin.monitor \
    -kernel "$kernel" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 quiet loglevel=4 panic=-1 velumin.share=$share velumin.stage=$here/guest.sh" \
    -serial "file:$work/console" -serial null \
    -virtfs local,path=/,mount_tag=root,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$share,mount_tag=share,security_model=none,multidevs=remap" \
    </dev/null >"$work/qemu.log" 2>&1 || status=$?

[ -f "$share/stdout" ] && cat "$share/stdout"
[ -f "$share/stderr" ] && cat "$share/stderr" >&2
if [ -f "$share/status" ]; then
    exit "$(cat "$share/status")"
fi
echo "$0: the guest ended without the command's status (qemu: $status); its console:" >&2
tail -n 40 "$work/console" "$work/qemu.log" >&2 || true
[ "$status" -eq 124 ] && exit 124
exit 125
