#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Type-checks the slotscan package, its benchmark and the example scripts that use it:
# run_mypy.sh PACKAGE_SOURCE EXAMPLES_DIR CACHE_DIR. Exits 77 (skipped) without mypy.
set -eu
source=$1
examples=$2
cache=$3
if ! command -v mypy >/dev/null 2>&1; then
  echo "skipped: mypy is not installed (Debian: apt-get install mypy)"
  exit 77
fi
cd "$source"
mypy --strict --cache-dir "$cache" slotscan bench_find.py "$examples"
