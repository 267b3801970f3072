#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The library exports the twelve operations and their extension (the snapshot) and
# nothing else, has soname libslotscan.so.1 and takes the two port operations from
# libportvex.so.1.
set -eu
lib=$1
passes=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; echo "$passes passed, 1 failed"; exit 1; }

expected="ChangeCardNo
ChangeCardNo_0
FindPCICard
FindPCICard_0
GetIOBaseByCardNo
GetIOBaseByCardNo_0
GetIOBaseByOrder
GetIOBaseByOrder_0
PCICardName
ReturnPCIID
ScanPCICards
ScanPCICards_0
SetCardNoByOrder
SetCardNoByOrder_0"

exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | LC_ALL=C sort)
[ "$exported" = "$expected" ] && ok "exports exactly the twelve operations and the snapshot" ||
  fail "exported symbols differ:
$exported"

for f in $expected; do
  nm -D --defined-only "$lib" | grep -q " T $f\$" || fail "$f is not a function"
done
ok "each export is a function"

undefined=$(nm -D --undefined-only "$lib" | awk '{print $2}')
for f in inportdw outportdw; do
  echo "$undefined" | grep -qx "$f" || fail "$f is not imported"
done
ok "imports inportdw and outportdw"

readelf -d "$lib" | grep -q 'Library soname: \[libslotscan.so.1\]' && ok "soname libslotscan.so.1" ||
  fail "soname is not libslotscan.so.1"
readelf -d "$lib" | grep -q 'Shared library: \[libportvex.so.1\]' && ok "needs libportvex.so.1" ||
  fail "libportvex.so.1 is not needed"
echo "$passes passed, 0 failed"
