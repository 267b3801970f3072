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
promtool check rules "$1"
promtool test rules "$2"
