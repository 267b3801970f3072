#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The export and import tables of the Windows DLLs, read with objdump -p:
#  - Slotscan.dll names itself "Slotscan.dll" and exports exactly the twelve operations at
#    ordinals 1 to 12, in alphabetical order: decorated stdcall names on x86 (_F@12),
#    plain names on x64, which has one calling convention;
#  - it imports exactly the two port operations from Portvex.dll, its pause (Sleep and a
#    waitable timer) from KERNEL32.dll, and otherwise only from msvcrt.dll;
#  - the simulated Portvex.dll exports the two names Slotscan.dll imports;
#  - a program linked through slotscan.h and libSlotscan.dll.a imports exactly the twelve
#    exported names;
#  - cardnum.exe imports exactly the two port operations from Portvex.dll (it looks the
#    status calls up at run time) and nothing from Slotscan.dll;
#  - Cardpeek.exe imports from neither (it loads Slotscan.DLL at the first Read) and
#    carries the name of the export it binds.
# usage: dll_tables_check.sh x86|x64 OBJDUMP Slotscan.dll Portvex.dll LINKED_PROGRAM.exe
#        cardnum.exe Cardpeek.exe
set -eu
architecture=$1
objdump=$2
slotscan=$3
portvex=$4
linked=$5
cardnum=$6
cardpeek=$7
passes=0
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; passes=$((passes + 1)); }

# "ORDINAL NAME" for every exported name, ordinal = table index + ordinal base.
exports() {
  "$objdump" -p "$1" | awk '
    /^Ordinal Base/ { base = $3 }
    /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
    names && /^[ \t]*$/ { names = 0 }
    names && match($0, /^[ \t]*\[ *[0-9]+\]/) {
      index_text = substr($0, RSTART, RLENGTH); gsub(/[^0-9]/, "", index_text)
      print index_text + base, $NF
    }'
}

# "DLL NAME" for every import.
imports() {
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { dll = $3; members = 0; next }
    dll != "" && /Hint\/Ord/ { members = 1; next }
    members && /^[ \t]*$/ { members = 0; dll = ""; next }
    members { print dll, $NF }'
}

# Entries of the export address table, named or not (objdump prints the count in hex).
address_count() {
  "$objdump" -p "$1" | awk '/^[ \t]*Export Address Table[ \t]+[0-9a-fA-F]+$/ { print $NF; exit }'
}

dll_name() { "$objdump" -p "$1" | awk '/^Name[ \t]/ { print $NF; exit }'; }

# NAME@BYTES -> the name the platform exports: _NAME@BYTES on x86, NAME on x64.
exported() {
  case $architecture in
    x86) sed 's/^\([0-9]* \)\{0,1\}/&_/' ;;
    x64) sed 's/@[0-9]*$//' ;;
    *) echo "unknown architecture $architecture" >&2; exit 2 ;;
  esac
}

# Slotscan.dll
expected_exports=$(exported <<'END'
1 ChangeCardNo@8
2 ChangeCardNo_0@12
3 FindPCICard@4
4 FindPCICard_0@8
5 GetIOBaseByCardNo@12
6 GetIOBaseByCardNo_0@16
7 GetIOBaseByOrder@12
8 GetIOBaseByOrder_0@16
9 PCICardName@4
10 ReturnPCIID@16
11 SetCardNoByOrder@8
12 SetCardNoByOrder_0@12
END
)
port_operations=$(printf 'inportdw@4\noutportdw@8\n' | exported)
actual=$(exports "$slotscan")
if [ "$actual" = "$expected_exports" ]; then
  ok "Slotscan.dll exports the twelve $architecture names at ordinals 1-12"
else
  fail "Slotscan.dll exports differ; got:
$actual"
fi

count=$(address_count "$slotscan")
[ "$count" = "0000000c" ] && ok "export address table has twelve entries, no ordinal-only export" ||
  fail "export address table has '$count' entries"

name=$(dll_name "$slotscan")
[ "$name" = "Slotscan.dll" ] && ok "export directory names Slotscan.dll" ||
  fail "export directory names '$name', not Slotscan.dll"

slotscan_imports=$(imports "$slotscan")
if [ -z "$slotscan_imports" ]; then
  fail "no imports read from $slotscan"
fi
port_imports=$(echo "$slotscan_imports" | awk '$1 == "Portvex.dll" { print $2 }' | sort)
[ "$port_imports" = "$port_operations" ] && ok "imports" $port_operations "from Portvex.dll" ||
  fail "imports from Portvex.dll are:
$port_imports"

for f in Sleep CreateWaitableTimerExW SetWaitableTimer QueryPerformanceCounter; do
  echo "$slotscan_imports" | grep -qx "KERNEL32.dll $f" && ok "imports $f from KERNEL32.dll" ||
    fail "$f is not imported from KERNEL32.dll"
done

others=$(echo "$slotscan_imports" | awk '{ print $1 }' | sort -u |
  grep -vx -e Portvex.dll -e KERNEL32.dll -e msvcrt.dll || true)
[ -z "$others" ] && ok "no DLLs besides Portvex.dll, KERNEL32.dll and msvcrt.dll" ||
  fail "imports from other DLLs:" $others

# Portvex.dll must offer what Slotscan.dll takes from it.
portvex_exports=$(exports "$portvex" | awk '{ print $2 }')
for f in $port_operations; do
  echo "$portvex_exports" | grep -qx "$f" && ok "Portvex.dll exports $f" ||
    fail "Portvex.dll does not export $f"
done
others=$(imports "$portvex" | awk '{ print $1 }' | sort -u |
  grep -vx -e KERNEL32.dll -e msvcrt.dll || true)
[ -z "$others" ] && ok "Portvex.dll needs only KERNEL32.dll and msvcrt.dll" ||
  fail "Portvex.dll imports from other DLLs:" $others

# What a program compiled with slotscan.h asks for must be what the DLL exports.
exported_names=$(echo "$expected_exports" | awk '{ print $2 }' | sort)
linked_names=$(imports "$linked" | awk '$1 == "Slotscan.dll" { print $2 }' | sort)
[ "$linked_names" = "$exported_names" ] &&
  ok "a program linked through slotscan.h imports the twelve exported names" ||
  fail "a program linked through slotscan.h imports from Slotscan.dll:
$linked_names"

cardnum_imports=$(imports "$cardnum")
cardnum_port=$(echo "$cardnum_imports" | awk '$1 == "Portvex.dll" { print $2 }' | sort)
[ "$cardnum_port" = "$port_operations" ] &&
  ok "cardnum.exe imports only" $port_operations "from Portvex.dll" ||
  fail "cardnum.exe imports from Portvex.dll:
$cardnum_port"
others=$(echo "$cardnum_imports" | awk '{ print $1 }' | sort -u |
  grep -vx -e Portvex.dll -e KERNEL32.dll -e msvcrt.dll || true)
[ -z "$others" ] && ok "cardnum.exe needs only Portvex.dll, KERNEL32.dll and msvcrt.dll" ||
  fail "cardnum.exe imports from other DLLs:" $others

cardpeek_dlls=$(imports "$cardpeek" | awk '{ print $1 }' | sort -u)
echo "$cardpeek_dlls" | grep -qix -e Slotscan.dll -e Portvex.dll &&
  fail "Cardpeek.exe imports from Slotscan.dll or Portvex.dll:" $cardpeek_dlls ||
  ok "Cardpeek.exe imports from neither Slotscan.dll nor Portvex.dll"
bound=$(echo "GetIOBaseByCardNo@12" | exported)
grep -aq "$bound" "$cardpeek" && ok "Cardpeek.exe binds $bound" ||
  fail "Cardpeek.exe does not carry the name $bound"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
