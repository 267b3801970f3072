#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# libportvex.so.1 exports the C interface of portvex.h and portvex/simulated.h and nothing
# else (the lookup tables libstdc++ makes unique objects aside, which the Debian symbols
# file lets vary), under the soname libportvex.so.1.
# usage: exports_check.sh LIBPORTVEX
set -eu
lib=$1
passes=0 failures=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected="inportdw
outportdw
portvex_backend
portvex_io_range_size
portvex_ready
portvex_sim_attach
portvex_sim_detach
portvex_status"
functions=$(nm -D --defined-only "$lib" | awk '$2 == "T" { print $3 }' | LC_ALL=C sort)
# Besides the functions, only what the standard library's templates leave behind: weak
# instantiations in namespace std (an unoptimised build keeps more of them out of line).
others=$(nm -D --defined-only "$lib" |
  awk '$2 != "T" && !($2 ~ /^[WVu]$/ && $3 ~ /^_ZZ?NK?St|^_ZSt/) { print $3 }')
if [ "$functions" = "$expected" ]; then
  ok "exports the functions" "$(echo "$expected" | tr '\n' ' ')"
else
  fail "exported functions differ:
$functions"
fi
if [ -z "$others" ]; then ok "exports no other symbol"; else fail "exports besides functions: $others"; fi
if readelf -d "$lib" | grep -q 'Library soname: \[libportvex.so.1\]'; then
  ok "soname libportvex.so.1"
else
  fail "soname is not libportvex.so.1"
fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
