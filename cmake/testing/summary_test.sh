#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs one test and passes it only on the test's own word: its output must hold the summary
# line "N passed, M failed" (the test programs and scripts print it; Qt Test's
# "Totals: N passed, M failed, ..." counts too), with N > 0 and M = 0, and the exit status
# must be 0. The last such line counts. An exit status of 0 with no summary fails: a
# script can stop early with status 0, and Wine can end a Windows program that never ran
# and say nothing. Exit status 77 (skipped) passes through.
#
#   summary_test.sh TEST_NAME COMMAND [ARGUMENT...]
set -u
[ $# -ge 2 ] || { echo "usage: summary_test.sh TEST_NAME COMMAND [ARGUMENT...]" >&2; exit 2; }
name=$1
shift
out=$(mktemp)
trap 'rm -f "$out" "$out.status"' EXIT
# The output as it comes, and a copy to read the summary from.
{ "$@" 2>&1; echo $? >"$out.status"; } | tee "$out"
status=$(cat "$out.status")
[ "$status" -eq 77 ] && exit 77

# What the test printed, without carriage returns (Windows programs print them).
printed=$(tr -d '\r' <"$out")
summary=$(echo "$printed" | grep -E '^(Totals: )?[0-9]+ passed, [0-9]+ failed(, .*)?$' | tail -n 1)
quote() {
  if [ -z "$printed" ]; then
    echo "It printed nothing."
  else
    echo "It printed (last 15 lines):"
    echo "$printed" | tail -n 15 | sed 's/^/  | /'
  fi
}
if [ -z "$summary" ]; then
  echo "FAILED: $name: the test printed no summary line (\"N passed, M failed\")," \
    "exit status $status: it did not run to its end."
  quote
  exit 1
fi
passed=$(echo "$summary" | sed -E 's/^(Totals: )?([0-9]+) passed.*/\2/')
failed=$(echo "$summary" | sed -E 's/^[^,]*, ([0-9]+) failed.*/\1/')
if [ "$failed" -ne 0 ] || [ "$passed" -eq 0 ] || [ "$status" -ne 0 ]; then
  echo "FAILED: $name: \"$summary\", exit status $status."
  exit 1
fi
exit 0
