#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs one Windows test and passes it only on the test program's own word: its output must
# hold the summary line "N passed, M failed" (cmake/wine/check.h prints it; the test
# scripts print their own), with N > 0 and M = 0, and the exit status must be 0. An exit
# status of 0 with no summary fails: Wine can end a program that never ran, or run
# nothing at all, and say nothing. Exit status 77 (skipped) passes through.
#
#   wine_test.sh TEST_NAME COMMAND [ARGUMENT...]
set -u
[ $# -ge 2 ] || { echo "usage: wine_test.sh TEST_NAME COMMAND [ARGUMENT...]" >&2; exit 2; }
name=$1
shift
out=$(mktemp)
trap 'rm -f "$out" "$out.status"' EXIT
# The output as it comes, and a copy to read the summary from.
{ "$@" 2>&1; echo $? >"$out.status"; } | tee "$out"
status=$(cat "$out.status")
[ "$status" -eq 77 ] && exit 77

# What the program and Wine printed, without the harness's own lines and carriage returns.
printed=$(tr -d '\r' <"$out" | grep -v '^WINE32: ')
summary=$(echo "$printed" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
quote() {
  if [ -z "$printed" ]; then
    echo "Wine printed nothing."
  else
    echo "Wine printed (last 15 lines):"
    echo "$printed" | tail -n 15 | sed 's/^/  | /'
  fi
}
if [ -z "$summary" ]; then
  echo "FAILED: $name: the test program printed no summary line (\"N passed, M failed\")," \
    "exit status $status: it did not run to its end."
  quote
  exit 1
fi
passed=${summary%% passed*}
failed=${summary#*, }
failed=${failed%% failed}
if [ "$failed" -ne 0 ] || [ "$passed" -eq 0 ] || [ "$status" -ne 0 ]; then
  echo "FAILED: $name: \"$summary\", exit status $status."
  exit 1
fi
exit 0
