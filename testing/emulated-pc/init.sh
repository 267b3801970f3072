#!/bin/busybox sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# PID 1 of the emulated PC (see boot.sh): loads the kernel modules listed in
# /modules/load-order, mounts /proc, /sys, /dev and the security file system, runs
# /payload with sh, says how it ended ("EMULATED-PC-RESULT: STATUS") and powers off.
# The payload finds boot.sh's --conf lines in /etc/emulated-pc.conf.
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
mount -t securityfs securityfs /sys/kernel/security 2>/dev/null
echo "EMULATED-PC: kernel $(uname -r) up after $(cut -d' ' -f1 /proc/uptime) s"
status=0
for m in $(cat /modules/load-order); do
  insmod "/modules/$m.ko" || { echo "EMULATED-PC: insmod $m.ko failed"; status=1; }
done
[ "$status" -eq 0 ] && { sh /payload; status=$?; }
sync
echo "EMULATED-PC-RESULT: $status"
poweroff -f
