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
passes=0 failures=0
check() {  # PORTVEX-value name
  status=0
  PORTVEX=$1 "$cardnum" list --format prometheus --output "$work/$2.prom" || status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
    echo "FAIL: $2: cardnum exit status $status"
    failures=$((failures + 1))
  elif ! promtool check metrics <"$work/$2.prom"; then
    echo "FAIL: $2: promtool refuses:"
    cat "$work/$2.prom"
    failures=$((failures + 1))
  else
    echo "ok: $2: $(grep -c '^slotscan_' "$work/$2.prom") series pass promtool"
    passes=$((passes + 1))
  fi
}
for rack in "$@"; do
  name=$(basename "$rack" .toml)
  mkdir "$work/$name"
  cp "$rack" "$work/$name/"
  check "sim:$work/$name/$name.toml" "$name"
done
check none no-port-access
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
