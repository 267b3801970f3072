#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The payload of the emulated PC that runs 32-bit Windows tests (see wine32.sh), run by
# its init once the 9p, virtio and overlay modules are loaded. Mounts this machine's root
# file system (shared read-only over virtio-9p) under a tmpfs overlay, so that the job's
# folders are at their own paths wherever they are, /tmp included; keeps this machine's
# sockets out (its X servers', its wineservers', whatever is in /run); with an i386 root,
# puts its 32-bit Wine and i386 libraries in place as if wine32 were installed; mounts the
# job folder (shared read-write); and runs wine32_guest.sh in a chroot of the result.
say() { echo "WINE32-PC: $*"; }
die() { say "FAIL: $*"; exit 1; }

# spool=, guest_script=, tmpfs_size=, i386_root= (empty: this machine's own 32-bit Wine)
. /etc/emulated-pc.conf

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
# /tmp stays this machine's (a clone or build folder may be there), without its sockets:
# removed in the overlay only, they are gone for the guest and untouched here.
rm -rf /newroot/tmp/.X11-unix /newroot/tmp/.ICE-unix /newroot/tmp/.X*-lock /newroot/tmp/.wine-*
mount -t tmpfs tmpfs /newroot/run

if [ -n "$i386_root" ]; then
  r="/host$i386_root"
  [ -x "$r/usr/lib/wine/wine" ] || die "no 32-bit Wine in the i386 root $i386_root"
  # Its i386 libraries (Wine's own among them), loader and Wine programs take the place of
  # any here; its wineserver serves both sizes of the Wine loader (only 32-bit runs here).
  mkdir -p /newroot/usr/lib/i386-linux-gnu /newroot/usr/lib/wine
  mount --bind "$r/usr/lib/i386-linux-gnu" /newroot/usr/lib/i386-linux-gnu
  for f in wine:wine wineserver32:wineserver32 wineserver32:wineserver64; do
    [ -e "/newroot/usr/lib/wine/${f#*:}" ] || touch "/newroot/usr/lib/wine/${f#*:}"
    mount --bind "$r/usr/lib/wine/${f%%:*}" "/newroot/usr/lib/wine/${f#*:}"
  done
  ln -sfn i386-linux-gnu/ld-linux.so.2 /newroot/usr/lib/ld-linux.so.2
  cp "$r/etc/ld.so.conf.d/i386-linux-gnu.conf" /newroot/etc/ld.so.conf.d/
  chroot /newroot /sbin/ldconfig || die "ldconfig failed"
  say "32-bit Wine from the i386 root $i386_root"
fi

mkdir -p "/newroot$spool"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 spool "/newroot$spool" ||
  die "cannot mount the job folder"
say "root file system shared after $(cut -d' ' -f1 /proc/uptime) s"

chroot /newroot /bin/sh "$guest_script" "$spool"
status=$?
say "wine32_guest.sh ended with status $status"
sync
umount "/newroot$spool" 2>/dev/null
exit "$status"
