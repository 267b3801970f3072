#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The Wine harness on stand-in test programs (no Wine is run):
#  - wine_test.sh passes a test only on its summary line "N passed, 0 failed" with N > 0
#    and exit status 0: a program that exits 0 silently, or prints only Wine's messages,
#    fails, naming the test and quoting what was printed; 77 (skipped) passes through;
#  - wine32.sh run refuses a prefix that 64-bit Wine made, and runs the command in a
#    32-bit one.
# usage: harness_test.sh cmake/wine
set -u
wine_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passes=0 failures=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs a stand-in through wine_test.sh and checks its exit status and a phrase of its output.
# expect WHAT STATUS PHRASE SHELL_COMMAND
expect() {
  output=$(sh "$wine_dir/wine_test.sh" win32_stand_in sh -c "$4" 2>&1)
  status=$?
  if [ "$status" -eq "$2" ] && echo "$output" | grep -qF -- "$3"; then
    ok "$1"
  else
    fail "$1: exit status $status (expected $2), output:"
    echo "$output" | sed 's/^/  | /'
  fi
}
expect "a program that exits 0 silently fails, named" 1 \
  'FAILED: win32_stand_in: the test program printed no summary line' 'exit 0'
expect "... and the failure says nothing was printed" 1 'Wine printed nothing.' 'exit 0'
expect "Wine's own words are quoted when the program did not run" 1 \
  '  | wine: could not load kernel32.dll, status c0000135' \
  'echo "wine: could not load kernel32.dll, status c0000135"; exit 0'
expect "a summary with failures fails" 1 '"3 passed, 1 failed"' 'echo "3 passed, 1 failed"; exit 0'
expect "no check at all fails" 1 '"0 passed, 0 failed"' 'echo "0 passed, 0 failed"'
expect "a clean summary with a failing exit status fails" 1 'exit status 3' \
  'echo "2 passed, 0 failed"; exit 3'
expect "a clean summary passes, carriage returns and all" 0 '2 passed, 0 failed' \
  'echo "ok: one"; printf "2 passed, 0 failed\r\n"'
expect "skipped (77) passes through" 77 'SKIPPED' 'echo "SKIPPED: no display"; exit 77'

# wine32.sh run, with the way already chosen: natively.
mkdir -p "$work/wine32" "$work/prefix64" "$work/prefix32"
echo native >"$work/wine32/state"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n' >"$work/prefix64/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n' >"$work/prefix32/system.reg"
for arch in 64 32; do
  output=$(SLOTSCAN_WINE32_DIR="$work/wine32" WINEPREFIX="$work/prefix$arch" \
    sh "$wine_dir/wine32.sh" run sh -c 'echo "ran in $WINEPREFIX"' 2>&1)
  status=$?
  case "$arch:$status:$output" in
    64:1:*"was made by 64-bit Wine: a 32-bit test cannot run in it. Remove it"*)
      ok "a 32-bit test refuses a 64-bit prefix, saying what to do" ;;
    32:0:*"ran in $work/prefix32"*) ok "a 32-bit test runs in a 32-bit prefix" ;;
    *) fail "win$arch prefix: exit status $status, output: $output" ;;
  esac
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$passes" -gt 0 ]
