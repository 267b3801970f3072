#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT
#
# Checks that every place that states the project's version states the one of the
# top-level CMake project: the Debian changelog, the Python metadata, the manual pages,
# the README's example output and the Windows zip's name in docs/windows.md, and what the build made from it (slotscan_version.h, slotscan.pc, the CMake package,
# then cardnum --version, or on Windows the version records of the two DLLs).
# usage: versions_agree.sh VERSION SOURCE_DIR BUILD_DIR --cardnum CARDNUM
#        versions_agree.sh VERSION SOURCE_DIR BUILD_DIR --dlls WRESTOOL Slotscan.dll Portvex.dll
set -eu
version=$1 src=$2 build=$3 kind=$4
shift 4
passes=0 failures=0
agree() {
  if [ "$2" = "$version" ]; then
    echo "ok: $1 says $version"
    passes=$((passes + 1))
  else
    echo "FAIL: $1 says '$2', the CMake project $version"
    failures=$((failures + 1))
  fi
}

agree debian/changelog "$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' "$src/debian/changelog")"
agree python/pyproject.toml \
  "$(sed -n 's/^version *= *"\(.*\)"/\1/p' "$src/python/pyproject.toml")"
for page in "$src"/docs/man/*.3 "$src"/Demo/cardpeek.1 "$src"/tools/cardnum/cardnum.1; do
  # A page that names no Slotscan version has none to disagree.
  said=$(sed -n 's/^\.TH .*"Slotscan \([0-9][^"]*\)".*/\1/p' "$page")
  [ -z "$said" ] || agree "${page#"$src"/}" "$said"
done
# What find_card.py prints first, and the zip cpack makes.
agree "README.md's find_card.py output" "$(sed -n 's/^slotscan \([0-9][0-9.]*\)$/\1/p' "$src/README.md")"
agree "docs/windows.md's zip name" \
  "$(sed -n 's/.*Slotscan-\([0-9][0-9.]*\)-win32\.zip.*/\1/p' "$src/docs/windows.md")"
agree slotscan_version.h \
  "$(sed -n 's/^#define SLOTSCAN_VERSION "\(.*\)"/\1/p' "$build/include/slotscan_version.h")"

case $kind in
  --cardnum)
    agree slotscan.pc "$(sed -n 's/^Version: //p' "$build/slotscan.pc")"
    agree SlotscanConfigVersion.cmake \
      "$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")/\1/p' "$build/SlotscanConfigVersion.cmake")"
    agree "cardnum --version" "$("$1" --version | sed 's/^cardnum //')"
    ;;
  --dlls)
    wrestool=$1
    shift
    if [ ! -x "$wrestool" ]; then
      echo "SKIPPED: reading the DLLs' version records needs wrestool (Debian: apt-get install icoutils)"
      exit 77
    fi
    for dll in "$@"; do
      # The record's strings are UTF-16: FileVersion and ProductVersion, each followed
      # by its value.
      strings=$("$wrestool" -x --raw -t 16 "$dll" | strings -el -n 1)
      for key in FileVersion ProductVersion; do
        agree "$(basename "$dll") $key" "$(echo "$strings" | sed -n "/^$key\$/{n;p;q}")"
      done
    done
    ;;
esac
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$passes" -gt 0 ]
