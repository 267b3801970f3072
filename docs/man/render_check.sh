#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT
#
# Renders each manual page given as man does for lintian and as groff does with every
# warning on, and fails on any warning; then checks that each page names, under NAME,
# the page it is.
# usage: render_check.sh PAGE...
set -eu
passed=0 failed=0
for page in "$@"; do
  name=$(basename "$page")
  warnings=$({
    LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" >/dev/null
    groff -ww -z -man -Tutf8 "$page"
  } 2>&1)
  whatis=$(lexgrog "$page" 2>&1 || true)
  if [ -n "$warnings" ]; then
    echo "FAIL: $name renders with warnings:"
    echo "$warnings" | sed 's/^/  /'
    failed=$((failed + 1))
  elif ! echo "$whatis" | grep -q -- "\"${name%.*} -"; then
    echo "FAIL: $name: NAME does not read as a whatis entry for ${name%.*}: $whatis"
    failed=$((failed + 1))
  else
    echo "ok: $name"
    passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
