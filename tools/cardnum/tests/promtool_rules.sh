#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Usage: promtool_rules.sh RULES TESTS
# Checks the fleet view's alert rules with `promtool check rules`, then runs their unit tests
# (`promtool test rules`). Exit status 77 (skipped) without promtool.
set -eu
if ! command -v promtool >/dev/null 2>&1; then
  echo "SKIPPED: promtool is not installed (scripts/setup-debian.sh unpacks it from Debian's prometheus)"
  exit 77
fi
passes=0 failures=0
check() {  # WHAT, then the promtool command that says so
  what=$1
  shift
  if promtool "$@"; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAIL: $what: promtool $* says otherwise"
    failures=$((failures + 1))
  fi
}
check "the alert rules pass promtool check rules" check rules "$1"
check "the alert rules pass their unit tests" test rules "$2"
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
