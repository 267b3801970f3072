#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# cardnum.exe under Wine: the same commands and output as on Linux, through the simulated
# Portvex.dll beside it on a copy of examples/racks/rack3.toml; then, beside a Portvex.dll
# that exports only the two port operations, it still runs and says the status is unknown.
# usage: cardnum_under_wine.sh WINE cardnum.exe RACK TWO_EXPORT_PORTVEX.dll WORK_DIR
set -u
wine=$1 cardnum=$2 rack=$3 two_exports=$4 work=$5
passes=0 failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; passes=$((passes + 1)); }
rm -rf "$work"
mkdir -p "$work/rack" "$work/two-exports"
cp "$rack" "$work/rack/"
cp "$cardnum" "$two_exports" "$work/two-exports/"

# Runs cardnum.exe with PORTVEX=$portvex; its output without the console's carriage returns.
run() {
  output=$(PORTVEX=$portvex "$wine" "$@" 2>&1 | tr -d '\r')
}

portvex="sim:Z:$work/rack/$(basename "$rack")"
run "$cardnum" list
expected="3 cards with IDs 10b5:9050, in table order:
INDEX  CARD NO          I/O BASE  IRQ  SLOT
    0  1                0x0300      5  00:0a
    1  2                0x0340     10  00:0b
    2  3                0x0380     11  01:04"
[ "$output" = "$expected" ] && ok "list shows the three cards" || fail "list printed:
$output"

run "$cardnum" find 2
[ "$output" = "Card 2: I/O base 0x0340, IRQ 10 (index 1, slot 00:0b)" ] && ok "find 2" ||
  fail "find 2 printed: $output"

run "$cardnum" set --index 2 7
echo "$output" | grep -q 7 && ok "set --index 2 7: $(echo "$output" | head -n 1)" ||
  fail "set printed: $output"
run "$cardnum" find 7 --json
echo "$output" | grep -q '"io_base": *"0x0380"\|"io_base": *896' && ok "the renumbered card is found as 7" ||
  fail "find 7 --json printed: $output"

run "$cardnum" doctor
echo "$output" | grep -q "^Port access (backend sim)" && ok "doctor names the simulated PC" ||
  fail "doctor printed: $output"

run "$cardnum" find
if echo "$output" | grep -qi "required\|missing\|expected"; then ok "a bad command line is refused"
else fail "find without a number printed: $output"; fi

portvex=none
run "$work/two-exports/$(basename "$cardnum")" doctor
echo "$output" | grep -q "backend unknown.*reports no status" &&
  ok "beside a Portvex.dll with only the port operations: $(echo "$output" | head -n 1)" ||
  fail "with a two-export Portvex.dll doctor printed: $output"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
