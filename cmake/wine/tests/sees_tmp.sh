#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# A job's folder under /tmp, as a clone or build folder there would be: the 32-bit tests'
# way (wine32.sh run) runs a command with that folder as its working folder and reads a
# file there; in the emulated PC, this machine's X server sockets stay out of its /tmp.
# usage: sees_tmp.sh WINE32_SH
set -u
wine32=$1
passes=0 failures=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
folder=$(mktemp -d /tmp/slotscan-job.XXXXXX)
trap 'rm -rf "$folder"' EXIT
echo "written here $$" >"$folder/file"

output=$(cd "$folder" && sh "$wine32" run sh -c 'pwd; cat file; ls -A /tmp/.X11-unix 2>/dev/null | wc -l' 2>&1)
status=$?
echo "$output"
[ "$status" -eq 77 ] && exit 77
if [ "$status" -eq 0 ] && echo "$output" | grep -qx "$folder" && echo "$output" | grep -qx "written here $$"; then
  ok "a folder under /tmp is the working folder, with its files"
else
  fail "the folder $folder under /tmp was not there (exit status $status)"
fi
case "$output" in
  *"ran natively"*) ok "natively: this machine's own /tmp" ;;
  *) [ "$(echo "$output" | grep -x '[0-9]*' | tail -n 1)" = 0 ] &&
       ok "no X server socket of this machine in the emulated PC's /tmp" ||
       fail "this machine's X server sockets are in the emulated PC's /tmp" ;;
esac
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
