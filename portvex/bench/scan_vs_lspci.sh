#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Whole-process time of `cardnum list` through the sysfs backend beside `lspci -n`, which
# reads the same kernel files: the median of RUNS runs of each, and their ratio.
#
#   portvex/bench/scan_vs_lspci.sh BUILD_DIR [RUNS]
#
# Only reads configuration files: it refuses to run on a machine with a 10b5:9050 card,
# where the scan would go on to clock the card's EEPROM through its resource1 file.
set -eu
build=${1:?usage: scan_vs_lspci.sh BUILD_DIR [RUNS]}
runs=${2:-31}
cardnum="$build/bin/cardnum"
[ -x "$cardnum" ] || { echo "no $cardnum: build the cardnum target first" >&2; exit 2; }
command -v lspci >/dev/null || { echo "lspci is missing (package pciutils)" >&2; exit 2; }
if [ -n "$(lspci -n -d 10b5:9050)" ]; then
  echo "This machine has a 10b5:9050 card: not measuring here, the scan would write to it." >&2
  exit 2
fi
unset PORTVEX PORTVEX_SYSFS_ROOT

# One run of the command: its wall time in microseconds.
time_us() {
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  echo $(( (end - start) / 1000 ))
}
median() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

"$cardnum" list >/dev/null  # warm the caches once
lspci -n >/dev/null
# The two commands take turns, so that other load on the machine falls on both alike.
samples=$(mktemp)
trap 'rm -f "$samples"' EXIT
i=0
while [ $i -lt "$runs" ]; do
  echo "c $(time_us "$cardnum" list)" >>"$samples"
  echo "l $(time_us lspci -n)" >>"$samples"
  echo "v $(time_us "$cardnum" --version)" >>"$samples"
  i=$((i + 1))
done
cardnum_us=$(awk '$1 == "c" { print $2 }' "$samples" | median)
lspci_us=$(awk '$1 == "l" { print $2 }' "$samples" | median)
startup_us=$(awk '$1 == "v" { print $2 }' "$samples" | median)
echo "PCI devices: $(ls /sys/bus/pci/devices | wc -l); runs: $runs each, taking turns"
echo "cardnum list (sysfs backend): median $cardnum_us us"
echo "lspci -n:                     median $lspci_us us"
echo "cardnum --version (start-up):  median $startup_us us"
awk -v a="$cardnum_us" -v b="$lspci_us" 'BEGIN { printf "ratio of medians: %.2f\n", a / b }'
