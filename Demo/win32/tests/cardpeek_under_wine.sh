#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs drive_cardpeek.exe under Wine on a private X server: Cardpeek.exe beside the DLLs,
# on a copy of the test rack, and a copy of Cardpeek.exe alone in a folder without
# Slotscan.DLL. Without xvfb-run (Debian: xvfb xauth) the test reports itself skipped.
# usage: cardpeek_under_wine.sh WINE DRIVER.exe CARDPEEK.exe RACK WORK_DIR
set -eu
wine=$1 driver=$2 cardpeek=$3 rack=$4 work=$5
for tool in xvfb-run xauth; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    # 77: the test's SKIP_RETURN_CODE.
    echo "SKIPPED: driving the window needs an X display and $tool is not installed" \
      "(Debian: apt-get install xvfb xauth)"
    exit 77
  fi
done
rm -rf "$work"
mkdir -p "$work/rack" "$work/lone"
cp "$rack" "$work/rack/"
cp "$cardpeek" "$work/lone/"
export PORTVEX="sim:Z:$work/rack/$(basename "$rack")"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" "$wine" "$driver" "Z:$cardpeek" "Z:$work/lone/$(basename "$cardpeek")" ||
  status=$?
# The Wine processes of this display go with it; the next test starts its own.
"$(dirname "$wine")/wineserver" -k 2>/dev/null || true
exit $status
