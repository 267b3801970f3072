#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs each case of sysfs_portvex_test.exe in its own Wine process, with PORTVEX unset and
# PORTVEX_SYSFS_ROOT naming a fresh stand-in /sys tree in WORK_DIR, never the real /sys.
# usage: sysfs_portvex_under_wine.sh WINE sysfs_portvex_test.exe WORK_DIR
set -u
wine=$1 program=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
status=0
for case in scan number renumber refused; do
  env -u PORTVEX PORTVEX_SYSFS_ROOT="$work/$case" "$wine" "$program" "$case" "Z:$work/$case" ||
    status=1
done
exit $status
