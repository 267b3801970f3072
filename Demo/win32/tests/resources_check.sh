#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Cardpeek.exe's resources, read from the file with icoutils: one icon group of three
# images (32x32 in two colours, 32x32 and 16x16 in 16 colours), and the version record:
# 1.0.0.0, "1.00", product and internal name Cardpeek, Chinese (PRC) with code page 936.
# usage: resources_check.sh WRESTOOL ICOTOOL Cardpeek.exe
set -eu
wrestool=$1 icotool=$2 exe=$3
if [ ! -x "$wrestool" ] || [ ! -x "$icotool" ]; then
  echo "SKIPPED: reading resources needs wrestool and icotool (Debian: apt-get install icoutils)"
  exit 77
fi
passes=0 failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; passes=$((passes + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listing=$("$wrestool" -l "$exe")
groups=$(echo "$listing" | grep -c 'type=group_icon' || true)
icons=$(echo "$listing" | grep -c '\[type=icon' || true)
[ "$groups" = 1 ] && [ "$icons" = 3 ] && ok "one icon group and three icons" ||
  fail "icon groups $groups, icons $icons:
$listing"
echo "$listing" | grep -q -- '--type=16 .*--language=2052' && ok "a version record in Chinese (PRC)" ||
  fail "no version record in language 2052:
$listing"

"$wrestool" -x -t 14 "$exe" >"$work/group.ico"
images=$("$icotool" -l "$work/group.ico" | sed 's/ --index=[0-9]*//' | sort)
expected=$(sort <<'END'
--icon --width=32 --height=32 --bit-depth=1 --palette-size=2
--icon --width=32 --height=32 --bit-depth=4 --palette-size=16
--icon --width=16 --height=16 --bit-depth=4 --palette-size=16
END
)
[ "$images" = "$expected" ] && ok "the group holds 32x32x2, 32x32x16 and 16x16x16" ||
  fail "the icon group holds:
$images"

"$wrestool" -x --raw -t 16 "$exe" >"$work/version.bin"
# Every UTF-16 string of the record: keys, each followed by its value.
strings -el -n 1 "$work/version.bin" >"$work/strings.txt"
value() { awk -v key="$1" 'found { print; exit } $0 == key { found = 1 }' "$work/strings.txt"; }
for pair in FileVersion=1.00 ProductVersion=1.00 ProductName=Cardpeek InternalName=Cardpeek; do
  key=${pair%%=*} want=${pair#*=}
  got=$(value "$key")
  [ "$got" = "$want" ] && ok "$key is $want" || fail "$key is '$got', not '$want'"
done
grep -qx '080403a8' "$work/strings.txt" && ok "the strings are in block 080403a8" ||
  fail "no string block 080403a8"

bytes=$(od -An -v -tx1 "$work/version.bin" | tr -s ' \n' ' ')
# VS_FIXEDFILEINFO: signature, structure version, then file and product version 1.0.0.0.
echo "$bytes" | grep -q 'bd 04 ef fe 00 00 01 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00' &&
  ok "file and product version 1.0.0.0" || fail "the fixed version is not 1.0.0.0"
# Translation: language 0x0804, code page 936 (0x03a8), the record's last four bytes.
[ "$(echo "$bytes" | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }')" = "04 08 a8 03" ] &&
  ok "translation 0x0804, code page 936" || fail "the translation is not 0x0804/936"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
