#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Both hardware backends in the emulated PC (../boot.sh): vm_guest_probe and cardnum,
# with their libraries and those of the system they load, go into the initramfs, and
# checks.sh runs them against the guest kernel's PCI files on an i440FX PC with two
# carriers built on a PLX bridge. Nothing here touches this machine's hardware.
#
#   run.sh BIN_DIR LIB_DIR CACHE_DIR WORK_DIR RULES_FILE TIMEOUT_S
#
# Ends with "N passed, M failed": the guest's checks (checks.sh), and the guest's capture
# replayed here as one more. Exit status: 0 when all passed, 1 otherwise, 77 skipped
# because the emulated PC cannot be had here (the reason is printed).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ne 6 ]; then
  echo "usage: run.sh BIN_DIR LIB_DIR CACHE_DIR WORK_DIR RULES_FILE TIMEOUT_S" >&2
  exit 2
fi
bin=$1 lib=$2 cache=$3 work=$4 rules=$5 timeout_s=$6

stage="$work/stage"
rm -rf "$stage"
mkdir -p "$stage/opt/portvex/bin" "$stage/opt/portvex/lib" "$stage/etc"
cp "$rules" "$stage/etc/60-portvex.rules"
printf 'root:x:0:0:root:/:/bin/sh\nnobody:x:65534:65534:nobody:/:/bin/false\n' >"$stage/etc/passwd"
printf 'root:x:0:\nportvex:x:990:\nnogroup:x:65534:\n' >"$stage/etc/group"
for p in vm_guest_probe cardnum; do
  [ -x "$bin/$p" ] || { echo "FAILED: $bin/$p has not been built."; exit 1; }
  cp "$bin/$p" "$stage/opt/portvex/bin/"
done
for f in "$lib"/*.so*; do
  [ -f "$f" ] && cp -P "$f" "$stage/opt/portvex/lib/"
done
# lspci, for the console log only.
extra=""
if command -v lspci >/dev/null 2>&1; then
  extra=$(command -v lspci)
  mkdir -p "$stage/usr/bin"
  cp "$extra" "$stage/usr/bin/lspci"
fi
# The system libraries the programs load, at the same paths as here.
for f in "$stage"/opt/portvex/bin/* "$stage"/opt/portvex/lib/*.so* $extra; do
  LD_LIBRARY_PATH="$stage/opt/portvex/lib" ldd "$f" 2>/dev/null |
    awk '/=> \// { print $3 } /^\t\/[^ ]+ \(/ { print $1 }'
done | sort -u | while read -r dep; do
  case "$dep" in "$stage"/*) continue ;; esac
  mkdir -p "$stage$(dirname "$dep")"
  cp -L "$dep" "$stage$dep"
done
# The loader is found by its absolute path, whether or not /lib64 is a link here.
[ -e "$stage/lib64/ld-linux-x86-64.so.2" ] || {
  mkdir -p "$stage/lib64"
  cp -L /lib64/ld-linux-x86-64.so.2 "$stage/lib64/"
}

# i440FX with devices on bus 0, a PCI bridge (bus 1) and a bridge behind it (bus 2). The
# two TEWS TPCI200 carriers are built on a PLX bridge with its local registers in I/O
# space behind BAR1, like the cards the library looks for (their BAR4 is memory, though);
# rtl8139, pci-serial and the IDE controller have I/O BARs too.
status=0
sh "$here/../boot.sh" "$work" "$cache" "$here/checks.sh" --stage "$stage" --timeout "$timeout_s" -- \
  -device e1000,addr=0x3,romfile= \
  -device tpci200,addr=0x4 \
  -device pci-bridge,chassis_nr=1,id=b1,addr=0x5 \
  -device ich9-ahci,addr=0x6 \
  -device rtl8139,bus=b1,addr=0x1,romfile= \
  -device pci-serial,bus=b1,addr=0x2 \
  -device tpci200,bus=b1,addr=0x3 \
  -device pci-bridge,chassis_nr=2,id=b2,bus=b1,addr=0x8 \
  -device virtio-rng-pci,bus=b2,addr=0x0 || status=$?
[ "$status" -eq 77 ] && exit 77
summary=$(tr -d '\r' <"$work/console.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)

# The guest's capture, replayed here on the simulated PC, answers list and doctor in JSON
# as the guest did through its kernel's files (apart from the port layer doctor names).
between() { tr -d '\r' <"$work/console.log" | sed -n "/^$1-BEGIN\$/,/^$1-END\$/p" | sed '1d;$d'; }
replay_ok=no
between CAPTURE >"$work/captured.toml"
between GUEST-list >"$work/guest-list.json"
between GUEST-doctor >"$work/guest-doctor.json"
ids=$(tr -d '\r' <"$work/console.log" | sed -n 's/^CAPTURED-IDS: //p' | head -n 1)
if [ -s "$work/captured.toml" ] && [ -n "$ids" ]; then
  for what in list doctor; do
    PORTVEX="sim:$work/captured.toml" "$bin/cardnum" $what --json --id "$ids" \
      >"$work/replay-$what.json" 2>"$work/replay-$what.err" || true
  done
  if python3 - "$work" <<'PYTHON'
import json, sys
work = sys.argv[1]
same = True
for what in ("list", "doctor"):
    guest = json.load(open(f"{work}/guest-{what}.json"))
    replay = json.load(open(f"{work}/replay-{what}.json"))
    for doc in (guest, replay):
        doc.pop("port", None)
    if guest != replay:
        print(f"cardnum {what} --json differs between the guest and the replay:")
        print(json.dumps(guest, indent=1), json.dumps(replay, indent=1), sep="\n")
        same = False
sys.exit(0 if same else 1)
PYTHON
  then
    replay_ok=yes
    echo "The guest's capture replays here: cardnum list and doctor in JSON as in the guest."
  fi
else
  echo "The console holds no capture of the guest."
fi
# The guest's checks, and the replay here as one more.
passed=0 failed=1
case "$summary" in
  *" passed, "*" failed")
    passed=${summary%% passed*}
    failed=${summary#*, }
    failed=${failed%% failed}
    ;;
esac
if [ "$replay_ok" = yes ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
if [ "$status" -eq 0 ] && [ "$failed" -eq 0 ]; then
  echo "PASSED: both backends in the emulated PC ($summary), and its capture replayed here."
else
  echo "FAILED: the checks in the emulated PC said \"${summary:-nothing}\" (status $status)."
fi
echo "$passed passed, $failed failed"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
