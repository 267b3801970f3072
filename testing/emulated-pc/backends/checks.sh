#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The emulated PC's payload for the backend test (see run.sh): checks both hardware
# backends against the guest kernel's own PCI files, runs the library and cardnum through
# each, as root and as ordinary users, and ends with "N passed, M failed".
export PATH=/bin:/usr/bin:/opt/portvex/bin

passes=0 failures=0
say() { echo "PORTVEX-VM: $*"; }
fail() { say "FAIL: $*"; failures=$((failures + 1)); }
ok() { say "ok: $*"; passes=$((passes + 1)); }
has() { case "$1" in *"$2"*) return 0 ;; esac; return 1; }
# Runs a command as nobody (uid and gid 65534), or with extra groups as given.
as_nobody() { vm_guest_probe as --uid 65534 --gid 65534 "$@"; }

say "kernel $(uname -r), lockdown: $(cat /sys/kernel/security/lockdown 2>/dev/null || echo 'not shown')"
lspci -n 2>/dev/null
for slot in 0000:00:04.0 0000:01:03.0; do
  echo "$slot resource:"; cat /sys/bus/pci/devices/$slot/resource
done

# --- Configuration space: every slot of buses 0-3 against the kernel's files ---------------
for backend in sysfs ioperm; do
  out=$(PORTVEX=$backend vm_guest_probe config 2>&1)
  rc=$?
  echo "$out"
  if [ $rc -ne 0 ]; then
    fail "$backend: configuration dwords differ from the kernel's config files"
    continue
  fi
  summary=$(echo "$out" | grep '^config:')
  devices=$(echo "$summary" | sed 's/.*devices=\([0-9]*\).*/\1/')
  behind=$(echo "$summary" | sed 's/.*behind-bridge=\([0-9]*\).*/\1/')
  if [ "${devices:-0}" -ge 10 ] && [ "${behind:-0}" -ge 4 ]; then
    ok "$backend: $devices devices ($behind behind bridges) match the kernel's files; empty slots read 0xFFFFFFFF"
  else
    fail "$backend: too few devices compared ($summary)"
  fi
done

# --- The library and cardnum through both backends ---------------------------------------
# The two TPCI200 carriers are built on a PLX bridge whose local registers sit in I/O
# space behind BAR1, with the EEPROM control register at +0x50, like the cards the library
# looks for; their BAR4 is memory, though, and no emulated device has I/O BAR1 and BAR4,
# so the library records no card here. Its answers must still agree between backends,
# and the EEPROM protocol is driven directly through BAR1 of the carriers.
card=/sys/bus/pci/devices/0000:01:03.0
vendor=$(cat $card/vendor)
device=$(cat $card/device)
carrier_id=$(printf '%x:%x' "$device" "$vendor")
say "carriers: device $device vendor $vendor at 00:04.0 and 01:03.0"

# Runs "$@" through each backend into /tmp/NAME-BACKEND.txt (exit status appended) and
# checks that both backends give the same output.
same_through_both() {
  name=$1
  shift
  for backend in sysfs ioperm; do
    PORTVEX=$backend "$@" >/tmp/$name-$backend.txt 2>/tmp/$name-$backend.err
    echo "exit status $?" >>/tmp/$name-$backend.txt
  done
  say "$name ($*):"
  cat /tmp/$name-sysfs.txt
  cat /tmp/$name-sysfs.err /tmp/$name-ioperm.err
  if cmp -s /tmp/$name-sysfs.txt /tmp/$name-ioperm.txt; then
    ok "$name: identical through sysfs and ioperm"
  else
    fail "$name: results differ between sysfs and ioperm"
    diff /tmp/$name-sysfs.txt /tmp/$name-ioperm.txt
  fi
}

same_through_both library-carrier-ids vm_guest_probe find "$device" "$vendor"
same_through_both library-any-ids vm_guest_probe find 0 0
same_through_both library-default-ids vm_guest_probe find 0x9050 0x10b5
same_through_both cardnum-list cardnum list --id "$carrier_id"
same_through_both cardnum-list-json cardnum list --json --id 0:0
same_through_both cardnum-find cardnum find 1
for backend in sysfs ioperm; do
  # The doctor's first line names the backend; its findings must agree.
  PORTVEX=$backend cardnum doctor --id "$carrier_id" >/tmp/doctor-$backend.all 2>&1
  echo "exit status $?" >>/tmp/doctor-$backend.all
  grep -v '^Port access' /tmp/doctor-$backend.all >/tmp/doctor-$backend.txt
done
say "cardnum doctor --id $carrier_id:"
cat /tmp/doctor-sysfs.all
if cmp -s /tmp/doctor-sysfs.txt /tmp/doctor-ioperm.txt && grep -q '01:03' /tmp/doctor-sysfs.txt; then
  ok "cardnum doctor: same findings through sysfs and ioperm, carriers seen on every bus"
else
  fail "cardnum doctor: findings differ between backends or miss the carrier on bus 1"
  diff /tmp/doctor-sysfs.txt /tmp/doctor-ioperm.txt
fi

# --- A capture of this machine through both backends ----------------------------------------
# The same rack through sysfs and ioperm, apart from the description naming the backend. The
# sysfs capture, and the guest's own list and doctor in JSON, go to the console between
# markers: run.sh replays the capture on the host and compares.
for backend in sysfs ioperm; do
  PORTVEX=$backend cardnum capture --id "$carrier_id" >/tmp/capture-$backend.toml 2>/tmp/capture-$backend.err
  echo "exit status $?" >>/tmp/capture-$backend.toml
  grep -v '^description = ' /tmp/capture-$backend.toml >/tmp/capture-$backend.txt
  cat /tmp/capture-$backend.err
done
if cmp -s /tmp/capture-sysfs.txt /tmp/capture-ioperm.txt && grep -q '^exit status 0$' /tmp/capture-sysfs.txt &&
   [ "$(grep -c '^\[\[card\]\]' /tmp/capture-sysfs.txt)" -eq 2 ]; then
  ok "cardnum capture: the same rack through sysfs and ioperm, both carriers as cards"
else
  fail "cardnum capture: the racks differ between sysfs and ioperm, or lack the carriers"
  diff /tmp/capture-sysfs.txt /tmp/capture-ioperm.txt
fi
echo "CAPTURED-IDS: $carrier_id"
echo "CAPTURE-BEGIN"
grep -v '^exit status' /tmp/capture-sysfs.toml
echo "CAPTURE-END"
for what in list doctor; do
  echo "GUEST-$what-BEGIN"
  PORTVEX=sysfs cardnum $what --json --id "$carrier_id" 2>/tmp/guest-$what.err
  echo "GUEST-$what-END"
done

# --- EEPROM protocol through BAR1, and what it costs -----------------------------------------
for slot in "0 4" "1 3"; do
  name="eeprom-$(echo "$slot" | tr ' ' '-')"
  for backend in sysfs ioperm; do
    PORTVEX=$backend vm_guest_probe eeprom $slot --reads 50 >/tmp/$name-$backend.out 2>/tmp/$name-$backend.err
    echo "exit status $?" >>/tmp/$name-$backend.out
    grep -v '^timing:' /tmp/$name-$backend.out >/tmp/$name-$backend.txt
    cat /tmp/$name-$backend.out /tmp/$name-$backend.err
    grep '^timing:' /tmp/$name-$backend.out | sed 's/^/PORTVEX-VM: measure: /'
  done
  if cmp -s /tmp/$name-sysfs.txt /tmp/$name-ioperm.txt && grep -q '^exit status 0$' /tmp/$name-sysfs.txt &&
     grep -q 'ready 1' /tmp/$name-sysfs.err && grep -q 'ready 1' /tmp/$name-ioperm.err; then
    ok "$name: same word and control register through sysfs and ioperm"
  else
    fail "$name: EEPROM reads differ between sysfs and ioperm"
    diff /tmp/$name-sysfs.txt /tmp/$name-ioperm.txt
  fi
done

# Writes reach the device: the rtl8139's multicast filter (BAR0 + 8) keeps what is written.
same_through_both write-echo vm_guest_probe echo 1 1 0 8 0x5aa5c33c
grep -q '^exit status 0$' /tmp/write-echo-sysfs.txt || fail "write-echo: the written dword did not read back"

# --- Ordinary users -------------------------------------------------------------------------
# Without a grant nothing crashes, and the status says what is missing and what to do.
out=$(PORTVEX=sysfs as_nobody vm_guest_probe eeprom 1 3 --reads 1 2>&1)
rc=$?
echo "$out"
if [ $rc -eq 0 ] && has "$out" "word 0xFFFF" && has "$out" "ready 0" &&
   has "$out" "0000:01:03.0/resource1" && has "$out" "portvex group"; then
  ok "sysfs as nobody: the card's registers read as absent, status names resource1 and the portvex group"
else
  fail "sysfs as nobody: expected all-ones reads with an explained permission problem"
fi
out=$(PORTVEX=ioperm as_nobody vm_guest_probe find "$device" "$vendor" 2>&1)
rc=$?
echo "$out"
if [ $rc -eq 0 ] && has "$out" "ready 0" && has "$out" "root"; then
  ok "ioperm as nobody: nothing reached, status says root is needed"
else
  fail "ioperm as nobody: expected an explained refusal"
fi
# cardnum as nobody through sysfs reads only what any user may read here: the same as root.
PORTVEX=sysfs as_nobody cardnum list --id "$carrier_id" >/tmp/nobody-list.txt 2>/tmp/nobody-list.err
echo "exit status $?" >>/tmp/nobody-list.txt
cat /tmp/nobody-list.txt /tmp/nobody-list.err
if cmp -s /tmp/nobody-list.txt /tmp/cardnum-list-sysfs.txt; then
  ok "sysfs: cardnum list as nobody gives root's answer"
else
  fail "sysfs: cardnum list as nobody differs from root's"
  diff /tmp/cardnum-list-sysfs.txt /tmp/nobody-list.txt
fi
out=$(PORTVEX=ioperm as_nobody cardnum list --id "$carrier_id" 2>&1)
rc=$?
echo "$out"
if [ $rc -eq 3 ] && has "$out" "root"; then
  ok "ioperm: cardnum list as nobody exits with 3 and says root is needed"
else
  fail "ioperm: cardnum list as nobody should exit with 3 and explain (status $rc)"
fi

# With the udev rule's grant (its RUN commands, applied to the carriers here), a member
# of the portvex group reads the EEPROM exactly as root does, through sysfs.
# Runs the RUN commands of a rule file (udev's "$$" is "$") for the device at a slot.
apply_rule() {
  devpath=$(readlink -f /sys/bus/pci/devices/$2)
  devpath=${devpath#/sys}
  grep -o 'RUN+="[^"]*"' "$1" | sed 's/^RUN+="//; s/"$//; s/\$\$/$/g' |
    while read -r command; do
      eval "$(echo "$command" | sed "s|%p|$devpath|g")" || echo "rule command failed: $command"
    done
  ls -l /sys/bus/pci/devices/$2/resource*
}
for slot in 0000:00:04.0 0000:01:03.0; do
  apply_rule /etc/60-portvex.rules $slot
done
PORTVEX=sysfs as_nobody --groups 990 vm_guest_probe eeprom 1 3 --reads 50 >/tmp/group.out 2>/tmp/group.err
echo "exit status $?" >>/tmp/group.out
grep -v '^timing:' /tmp/group.out >/tmp/group.txt
cat /tmp/group.out /tmp/group.err
if cmp -s /tmp/group.txt /tmp/eeprom-1-3-sysfs.txt && grep -q 'ready 1' /tmp/group.err; then
  ok "portvex group member: same EEPROM reads as root through sysfs"
else
  fail "portvex group member: EEPROM reads differ from root's"
  diff /tmp/eeprom-1-3-sysfs.txt /tmp/group.txt
fi

# Boards with other IDs: the rule cardnum writes for them grants every I/O range of the
# device (here the RTL8139 at 01:01.0, whose only I/O range is BAR0), so a group member
# reaches the device's own registers; a non-member, and a member using a device no rule
# covers (the serial card at 01:02.0), are refused with what to do.
cardnum rule --id 8139:10ec >/tmp/rtl.rules
cat /tmp/rtl.rules
apply_rule /tmp/rtl.rules 0000:01:01.0
out=$(PORTVEX=sysfs as_nobody --groups 990 vm_guest_probe echo 1 1 0 8 0x12345678 2>&1)
rc=$?
echo "$out"
if [ $rc -eq 0 ] && has "$out" "ready 1"; then
  ok "portvex group member: the RTL8139's own I/O range (BAR0) through the rule cardnum wrote"
else
  fail "portvex group member: the rule cardnum wrote did not grant the RTL8139's BAR0"
fi
out=$(PORTVEX=sysfs as_nobody vm_guest_probe echo 1 1 0 8 0x12345678 2>&1)
rc=$?
echo "$out"
if [ $rc -ne 0 ] && has "$out" "BAR0 of 0000:01:01.0 (10ec:8139) is an I/O range of a device the portvex group rule covers" &&
   has "$out" "resource0" && has "$out" "then log in again"; then
  ok "non-member: refused, told which range it is and to join the group"
else
  fail "non-member: expected a refusal naming BAR0 of 01:01.0 and the group"
fi
out=$(PORTVEX=sysfs as_nobody --groups 990 vm_guest_probe echo 1 2 0 0 0 2>&1)
rc=$?
echo "$out"
if [ $rc -ne 0 ] && has "$out" "device no portvex group rule covers" &&
   has "$out" "install a portvex group rule for the IDs"; then
  ok "group member on an uncovered device: refused, told the rule does not cover it"
else
  fail "group member on an uncovered device: expected a refusal naming the missing rule"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
