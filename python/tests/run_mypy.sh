#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Type-checks the slotscan package, its benchmark and the example scripts that use it:
# run_mypy.sh PACKAGE_SOURCE EXAMPLES_DIR CACHE_DIR. Ends with "N passed, M failed": the
# files mypy found clean and those it found errors in. Exits 77 (skipped) without mypy.
set -eu
source=$1
examples=$2
cache=$3
if ! command -v mypy >/dev/null 2>&1; then
  echo "skipped: mypy is not installed (Debian: apt-get install mypy)"
  exit 77
fi
cd "$source"
status=0
said=$(mypy --strict --cache-dir "$cache" slotscan bench_find.py "$examples" 2>&1) || status=$?
echo "$said"
last=$(echo "$said" | tail -n 1)
case "$last" in
  "Success: no issues found in "*" source files")
    files=${last#Success: no issues found in }
    echo "${files%% *} passed, 0 failed"
    ;;
  "Found "*" in "*" file"*"(checked "*" source files)")
    bad=$(echo "$last" | sed -E 's/^Found [0-9]+ errors? in ([0-9]+) files?.*/\1/')
    checked=$(echo "$last" | sed -E 's/.*\(checked ([0-9]+) source files?\)$/\1/')
    echo "$((checked - bad)) passed, $bad failed"
    ;;
esac
exit "$status"
