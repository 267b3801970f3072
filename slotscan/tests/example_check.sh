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
passes=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; echo "$passes passed, 1 failed"; exit 1; }
cp "$racks/rack3.toml" "$work/"
out=$(PORTVEX="sim:$work/rack3.toml" "$example" 1)
echo "$out"
echo "$out" | grep -q '^3 card(s) found$' && ok "counts three cards" || fail "does not count three cards"
echo "$out" | grep -q '#2  card 3  I/O base 0x0380  IRQ 11  slot 01:04$' &&
  ok "lists card 3 at 0x0380, IRQ 11, slot 01:04" || fail "does not list card 3 as the rack has it"
echo "$out" | grep -q 'card 1: I/O base 0x0300, IRQ 5' && ok "finds card 1" || fail "does not find card 1"
PORTVEX="sim:$work/rack3.toml" "$example" 99 >/dev/null && fail "card 99 should not be found" ||
  ok "does not find card 99"
echo "$passes passed, 0 failed"
