#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Usage: promtool_check.sh CARDNUM RACK...
# Checks `cardnum list --format prometheus --output FILE` with `promtool check metrics`, on a
# copy of each rack and with no port access at all. Exit status 77 (skipped) without promtool.
set -eu
cardnum=$1
shift
if ! command -v promtool >/dev/null 2>&1; then
  echo "SKIPPED: promtool is not installed (Debian: prometheus)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
check() {  # PORTVEX-value name
  status=0
  PORTVEX=$1 "$cardnum" list --format prometheus --output "$work/$2.prom" || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || { echo "$2: cardnum exit status $status"; exit 1; }
  promtool check metrics <"$work/$2.prom" || { echo "$2: promtool refuses:"; cat "$work/$2.prom"; exit 1; }
  echo "$2: $(grep -c '^slotscan_' "$work/$2.prom") series pass promtool"
}
for rack in "$@"; do
  name=$(basename "$rack" .toml)
  mkdir "$work/$name"
  cp "$rack" "$work/$name/"
  check "sim:$work/$name/$name.toml" "$name"
done
check none no-port-access
