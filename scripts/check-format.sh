#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Fails when any C or C++ file differs from what clang-format makes of it with the
# repository's .clang-format, and names the files. clang-format comes with
# scripts/setup-debian.sh.
# Run with --fix to format them in place instead.
set -eu
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  echo "clang-format is not installed: run scripts/setup-debian.sh" >&2
  exit 1
fi
files=$(git ls-files '*.c' '*.h' '*.cpp' '*.hpp')
if [ "${1:-}" = "--fix" ]; then
  # shellcheck disable=SC2086
  clang-format -i $files
  exit 0
fi
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files 2>/tmp/clang-format.$$; then
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' /tmp/clang-format.$$ | cut -d: -f1 | sort -u |
    sed 's/^/needs clang-format: /'
  rm -f /tmp/clang-format.$$
  echo "Run scripts/check-format.sh --fix to format them."
  exit 1
fi
rm -f /tmp/clang-format.$$
echo "All $(echo "$files" | wc -l) C and C++ files are formatted."
