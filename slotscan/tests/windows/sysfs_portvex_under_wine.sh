#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs each case of sysfs_portvex_test.exe in its own Wine process, with PORTVEX unset and
# PORTVEX_SYSFS_ROOT naming a fresh stand-in /sys tree in WORK_DIR, never the real /sys.
# A case that ends without its summary line fails.
# usage: sysfs_portvex_under_wine.sh WINE sysfs_portvex_test.exe WORK_DIR
set -u
wine=$1 program=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
# Each case ends with its own summary; the last line adds them up.
passed=0 failed=0
for case in scan number renumber refused; do
  output=$(env -u PORTVEX PORTVEX_SYSFS_ROOT="$work/$case" "$wine" "$program" "$case" "Z:$work/$case" 2>&1)
  status=$?
  echo "$output"
  summary=$(echo "$output" | tr -d '\r' | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
  if [ -z "$summary" ] || [ "$status" -ne 0 ]; then
    echo "FAIL: case $case: exit status $status, summary \"$summary\""
    failed=$((failed + 1))
  fi
  [ -n "$summary" ] || continue
  passed=$((passed + ${summary%% passed*}))
  summary=${summary#*, }
  failed=$((failed + ${summary%% failed}))
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
