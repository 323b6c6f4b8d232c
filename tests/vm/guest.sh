#!/bin/bash
# The guest's second stage, inside this machine's root: the usual mounts, the
# command from the share, and its output and status back into the share.
share=$1
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 shm /dev/shm
mount -t tmpfs -o mode=0755 run /run
# The share where the host has it, so that paths mean the same on both sides.
mkdir -p "$share"
mount --bind /.share "$share"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 TERM=dumb
hostname guest
ip link set lo up
bash "$share/command" </dev/null >"$share/stdout" 2>"$share/stderr"
echo $? >"$share/status"
