#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# summary_test.sh on stand-in tests: a test passes only on its summary line
# "N passed, 0 failed" with N > 0 and exit status 0. A test that exits 0 silently, or
# prints only what Wine says when a Windows program did not start, fails, naming the test
# and quoting what was printed; 77 (skipped) passes through.
# usage: summary_check.sh path/to/summary_test.sh
set -u
summary_test=$1
passes=0 failures=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs a stand-in through summary_test.sh and checks its exit status and a phrase of its output.
# expect WHAT STATUS PHRASE SHELL_COMMAND
expect() {
  output=$(sh "$summary_test" stand_in sh -c "$4" 2>&1)
  status=$?
  if [ "$status" -eq "$2" ] && echo "$output" | grep -qF -- "$3"; then
    ok "$1"
  else
    fail "$1: exit status $status (expected $2), output:"
    echo "$output" | sed 's/^/  | /'
  fi
}
expect "a program that exits 0 silently fails, named" 1 \
  'FAILED: stand_in: the test printed no summary line' 'exit 0'
expect "... and the failure says nothing was printed" 1 'It printed nothing.' 'exit 0'
expect "what it printed is quoted (here Wine's words on a program that did not start)" 1 \
  '  | wine: could not load kernel32.dll, status c0000135' \
  'echo "wine: could not load kernel32.dll, status c0000135"; exit 0'
expect "a summary with failures fails" 1 '"3 passed, 1 failed"' 'echo "3 passed, 1 failed"; exit 0'
expect "no check at all fails" 1 '"0 passed, 0 failed"' 'echo "0 passed, 0 failed"'
expect "a clean summary with a failing exit status fails" 1 'exit status 3' \
  'echo "2 passed, 0 failed"; exit 3'
expect "a clean summary passes, carriage returns and all" 0 '2 passed, 0 failed' \
  'echo "ok: one"; printf "2 passed, 0 failed\r\n"'
expect "Qt Test's totals line counts as a summary" 0 'Totals: 4 passed' \
  'echo "Totals: 4 passed, 0 failed, 0 skipped, 0 blacklisted, 12ms"'
expect "... and fails with a failure in it" 1 '"Totals: 3 passed, 1 failed' \
  'echo "Totals: 3 passed, 1 failed, 0 skipped, 0 blacklisted, 12ms"'
expect "skipped (77) passes through" 77 'SKIPPED' 'echo "SKIPPED: no display"; exit 77'

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
