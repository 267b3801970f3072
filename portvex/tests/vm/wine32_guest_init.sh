#!/bin/busybox sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# PID 1 of the emulated PC that runs 32-bit Windows tests (see wine32_pc.sh). Loads the
# 9p, virtio and overlay modules from the kernel's own package, mounts this machine's root
# file system (shared read-only over virtio-9p) under a tmpfs overlay, mounts the job
# folder (shared read-write) at its own path, and runs wine32_guest.sh in a chroot of the
# result: the same programs, Wine and test files as outside, at the same paths.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
say() { echo "WINE32-PC: $*"; }
die() {
  say "FAIL: $*"
  echo "WINE32-PC-RESULT: FAIL"
  poweroff -f
}
say "kernel $(uname -r) up after $(cut -d' ' -f1 /proc/uptime) s"

# spool=, guest_script=, tmpfs_size=
. /etc/wine32-pc.conf

for m in $(cat /modules/load-order); do
  insmod "/modules/$m.ko" || die "insmod $m.ko failed"
done

mkdir -p /host /rw /newroot
# The root file system does not change while the tests run: let the guest cache it.
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 hostroot /host ||
  die "cannot mount the shared root file system"
mount -t tmpfs -o "size=$tmpfs_size" tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work /newroot ||
  die "cannot mount the overlay"
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm
# Fresh /tmp and /run: none of this machine's sockets (its wineserver's, its X servers').
mount -t tmpfs tmpfs /newroot/tmp
mount -t tmpfs tmpfs /newroot/run
mkdir -p "/newroot$spool"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 spool "/newroot$spool" ||
  die "cannot mount the job folder"
say "root file system shared after $(cut -d' ' -f1 /proc/uptime) s"

chroot /newroot /bin/sh "$guest_script" "$spool"
status=$?
say "wine32_guest.sh ended with status $status"
sync
umount "/newroot$spool" 2>/dev/null
echo "WINE32-PC-RESULT: DONE"
poweroff -f
