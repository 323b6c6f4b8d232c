#!/bin/busybox sh
# The guest's first stage: this machine's root over 9p, read-only, under a
# writable layer in memory; the test's share; then the second stage inside that
# root.
/bin/busybox --install -s /bin
export PATH=/bin
mkdir -p /proc /sys /dev
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in $(cat /modules/order); do
    insmod "/modules/$module"
done
for word in $(cat /proc/cmdline); do
    case $word in
        velumin.share=*) share=${word#*=} ;;
        velumin.stage=*) stage=${word#*=} ;;
    esac
done
mkdir -p /lower /layer /root
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,ro,cache=loose root /lower
mount -t tmpfs -o mode=0755 layer /layer
mkdir -p /layer/upper /layer/work
mount -t overlay -o lowerdir=/lower,upperdir=/layer/upper,workdir=/layer/work overlay /root
# The second stage moves the share to where the host has it.
mkdir -p /root/.share
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 share /root/.share
# The kernel runs its module helper in this, the first root: let it load from
# the machine's modules, as if it ran in the second.
printf '#!/bin/sh\nexec /bin/chroot /root /sbin/modprobe "$@"\n' >/bin/modprobe-in-root
chmod +x /bin/modprobe-in-root
echo /bin/modprobe-in-root >/proc/sys/kernel/modprobe
chroot /root /bin/bash "$stage" "$share"
sync
poweroff -f
