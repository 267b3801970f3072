#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Captures Cardpeek's test rack with cardnum, then runs Cardpeek's tests on the capture:
# they expect the values of the rack itself, so they pass only when the replay answers alike.
# Passes on the tests' own totals lines: it ends with the suites that passed and failed.
#   capture_check.sh CARDNUM CARDPEEK_TESTS RACK
set -eu
cardnum=$1 tests=$2 rack=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/machine"
cp "$rack" "$work/machine/cards.toml"
PORTVEX="sim:$work/machine/cards.toml" "$cardnum" capture --output "$work/captured.toml" \
  >"$work/capture.txt"
grep -q '^Captured .* into ' "$work/capture.txt" || { cat "$work/capture.txt"; exit 1; }
CARDPEEK_TEST_RACK="$work/captured.toml" "$tests" >"$work/tests.txt" 2>&1 || true
cat "$work/tests.txt"
suites=2 # the card-text and window suites of main.cpp
totals=$(grep -c '^Totals: [0-9]* passed, 0 failed' "$work/tests.txt" || true)
failing=$(grep -c '^Totals: .* [1-9][0-9]* failed' "$work/tests.txt" || true)
missing=$((totals + failing < suites ? suites - totals - failing : 0))
echo "$totals passed, $((failing + missing)) failed"
[ "$totals" -ge "$suites" ] && [ "$failing" -eq 0 ]
