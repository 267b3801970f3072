#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Boots Debian's own kernel in an emulated PC (qemu-system-x86_64, software emulation)
# with a busybox initramfs that holds our programs, and runs guest_init.sh there: both
# hardware backends are checked against the guest kernel's PCI files, with writes and
# port instructions reaching only emulated devices. Nothing here touches this machine's
# hardware.
#
#   run_emulated_pc.sh BIN_DIR LIB_DIR CACHE_DIR WORK_DIR RULES_FILE TIMEOUT_S
#
# The kernel comes from the linux-image-amd64 package, downloaded (not installed) with
# apt-get and kept in the cache folder. Exit status: 0 passed, 1 failed, 77 skipped
# because a package cannot be had (the reason is printed).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ne 6 ]; then
  echo "usage: run_emulated_pc.sh BIN_DIR LIB_DIR CACHE_DIR WORK_DIR RULES_FILE TIMEOUT_S" >&2
  exit 2
fi
bin=$1 lib=$2 cache=$3 work=$4 rules=$5 timeout_s=$6

# ctest shows no output of a skipped test: the reason also goes to $work/SKIPPED.txt.
skip() {
  {
    echo "SKIPPED: $*"
    echo "The emulated-PC test needs the Debian packages qemu-system-x86, busybox-static and"
    echo "cpio (scripts/setup-debian.sh installs them) and a download of linux-image-amd64."
  } | tee "$work/SKIPPED.txt"
  exit 77
}

mkdir -p "$work"
rm -f "$work/SKIPPED.txt"

# --- Tools -----------------------------------------------------------------------------
for tool in qemu-system-x86_64 cpio gzip dpkg-deb apt-get apt-cache ldd timeout; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed."
done
busybox=/bin/busybox
if ! [ -x "$busybox" ] || ldd "$busybox" >/dev/null 2>&1; then
  skip "a statically linked $busybox (package busybox-static) is not installed."
fi
for f in /usr/share/seabios/bios-256k.bin; do
  [ -e "$f" ] || skip "$f (package seabios, needed by qemu-system-x86) is missing."
done

# --- Kernel ----------------------------------------------------------------------------
mkdir -p "$work"
. "$here/debian_kernel.sh"
debian_kernel "$cache"

# --- Initramfs -------------------------------------------------------------------------
root="$work/initramfs"
rm -rf "$root"
mkdir -p "$root/bin" "$root/opt/portvex/bin" "$root/opt/portvex/lib" "$root/etc" \
         "$root/proc" "$root/sys" "$root/dev" "$root/tmp"
cp "$busybox" "$root/bin/busybox"
cp "$here/guest_init.sh" "$root/init"
chmod 755 "$root/init"
cp "$rules" "$root/etc/60-portvex.rules"
printf 'root:x:0:0:root:/:/bin/sh\nnobody:x:65534:65534:nobody:/:/bin/false\n' >"$root/etc/passwd"
printf 'root:x:0:\nportvex:x:990:\nnogroup:x:65534:\n' >"$root/etc/group"

programs="vm_guest_probe cardnum"
for p in $programs; do
  [ -x "$bin/$p" ] || { echo "FAILED: $bin/$p has not been built."; exit 1; }
  cp "$bin/$p" "$root/opt/portvex/bin/"
done
for f in "$lib"/*.so*; do
  [ -f "$f" ] && cp -P "$f" "$root/opt/portvex/lib/"
done
# lspci, for the console log only.
extra=""
if command -v lspci >/dev/null 2>&1; then
  extra=$(command -v lspci)
  mkdir -p "$root/usr/bin"
  cp "$extra" "$root/usr/bin/lspci"
fi
# The system libraries the programs load, at the same paths as here.
for f in "$root"/opt/portvex/bin/* "$root"/opt/portvex/lib/*.so* $extra; do
  LD_LIBRARY_PATH="$root/opt/portvex/lib" ldd "$f" 2>/dev/null |
    awk '/=> \// { print $3 } /^\t\/[^ ]+ \(/ { print $1 }'
done | sort -u | while read -r dep; do
  case "$dep" in "$root"/*) continue ;; esac
  mkdir -p "$root$(dirname "$dep")"
  cp -L "$dep" "$root$dep"
done
# The loader is found by its absolute path, whether or not /lib64 is a link here.
[ -e "$root/lib64/ld-linux-x86-64.so.2" ] || {
  mkdir -p "$root/lib64"
  cp -L /lib64/ld-linux-x86-64.so.2 "$root/lib64/"
}
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.cpio.gz"

# --- The emulated PC -------------------------------------------------------------------
# i440FX with devices on bus 0, a PCI bridge (bus 1) and a bridge behind it (bus 2). The
# two TEWS TPCI200 carriers are built on a PLX bridge with its local registers in I/O
# space behind BAR1, like the cards the library looks for (their BAR4 is memory, though);
# rtl8139, pci-serial and the IDE controller have I/O BARs too.
console="$work/console.log"
rm -f "$console"
echo "Booting $(basename "$kernel") in qemu-system-x86_64 (software emulation)..."
start=$(date +%s)
set +e
timeout "$timeout_s" qemu-system-x86_64 \
  -machine pc,accel=tcg -m 512M -smp 1 \
  -nodefaults -no-user-config -display none -no-reboot \
  -serial "file:$console" -monitor none \
  -kernel "$kernel" -initrd "$work/initramfs.cpio.gz" \
  -append "console=ttyS0 panic=-1 rdinit=/init quiet loglevel=3" \
  -device e1000,addr=0x3,romfile= \
  -device tpci200,addr=0x4 \
  -device pci-bridge,chassis_nr=1,id=b1,addr=0x5 \
  -device ich9-ahci,addr=0x6 \
  -device rtl8139,bus=b1,addr=0x1,romfile= \
  -device pci-serial,bus=b1,addr=0x2 \
  -device tpci200,bus=b1,addr=0x3 \
  -device pci-bridge,chassis_nr=2,id=b2,bus=b1,addr=0x8 \
  -device virtio-rng-pci,bus=b2,addr=0x0 \
  >"$work/qemu.log" 2>&1
status=$?
set -e
elapsed=$(( $(date +%s) - start ))

echo "----- guest console ($elapsed s) -----"
tr -d '\r' <"$console" 2>/dev/null | grep -v '^$' || true
echo "----- end of guest console -----"
if [ -s "$work/qemu.log" ]; then
  echo "qemu said:"
  sed 's/^/  /' "$work/qemu.log"
fi
if [ "$status" -eq 124 ]; then
  echo "FAILED: the emulated PC did not finish within $timeout_s s."
  exit 1
fi
if tr -d '\r' <"$console" | grep -q '^PORTVEX-VM-RESULT: PASS$'; then
  echo "PASSED: both backends in the emulated PC ($elapsed s)."
  exit 0
fi
echo "FAILED: the guest did not report PORTVEX-VM-RESULT: PASS (qemu exit status $status)."
exit 1
