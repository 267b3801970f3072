#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs the consumer example on a copy of the bundled three-card rack.
set -eu
example=$1
racks=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$racks/rack3.toml" "$work/"
out=$(PORTVEX="sim:$work/rack3.toml" "$example" 1)
echo "$out"
echo "$out" | grep -q '^3 card(s) found$'
echo "$out" | grep -q '#2  card 3  I/O base 0x0380  IRQ 11  slot 01:04$'
echo "$out" | grep -q 'card 1: I/O base 0x0300, IRQ 5'
if PORTVEX="sim:$work/rack3.toml" "$example" 99 >/dev/null; then
  echo "FAIL: card 99 should not be found" >&2
  exit 1
fi
