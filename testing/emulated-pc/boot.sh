#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Boots Debian's own kernel in an emulated PC (qemu-system-x86_64, software emulation)
# with a busybox initramfs whose PID 1 (init.sh) loads the named kernel modules, mounts
# /proc, /sys and /dev, and runs the payload script. Nothing of this machine's hardware
# is reached: writes and port instructions reach only emulated devices.
#
#   boot.sh WORK_DIR CACHE_DIR PAYLOAD [option...] [-- QEMU_ARGUMENT...]
#
#   --stage DIR        copy DIR's tree into the initramfs (programs, files)
#   --modules "M..."   kernel modules to load, with those they depend on
#   --conf K=V         a line of /etc/emulated-pc.conf, which the payload sources
#   --memory SIZE      memory (default 512M); --smp N processors (default 1)
#   --share TAG=DIR    a folder of this machine shared over virtio-9p, writable;
#   --share-ro TAG=DIR   the same, read-only
#   --background       leave it running (pid in WORK_DIR/qemu.pid) and return at once;
#                      otherwise wait for it to power off:
#   --timeout S        ... for at most S seconds (default 240)
#
# The kernel comes from the package linux-image-amd64, downloaded (not installed) with
# apt-get and kept in CACHE_DIR (kernel.sh). The console is WORK_DIR/console.log. The
# payload's exit status ends the console as "EMULATED-PC-RESULT: STATUS".
# Exit status: waiting, the payload's (1 if the guest did not say); in the background, 0
# once qemu runs; 77 when the emulated PC cannot be had here (no qemu, static busybox,
# BIOS, kernel package or module), the reason printed and kept in WORK_DIR/SKIPPED.txt.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
usage() {
  sed -n '/^#   boot.sh/,/^#$/p' "$here/boot.sh" | sed 's/^#   /usage: /' >&2
  exit 2
}
[ $# -ge 3 ] || usage
work=$1 cache=$2 payload=$3
shift 3
stage="" module_names="" conf="" memory=512M smp=1 background=no timeout_s=240
set --  "$@" --end--
while [ "$1" != --end-- ]; do
  case "$1" in
    --stage) stage="$stage $2"; shift 2 ;;
    --modules) module_names="$module_names $2"; shift 2 ;;
    --conf) conf="$conf$2
"; shift 2 ;;
    --memory) memory=$2; shift 2 ;;
    --smp) smp=$2; shift 2 ;;
    --share | --share-ro)
      readonly=""
      [ "$1" = --share-ro ] && readonly=",readonly=on"
      tag=${2%%=*}
      set -- "$@" -fsdev "local,id=$tag,path=${2#*=},security_model=none,multidevs=remap$readonly" \
        -device "virtio-9p-pci,fsdev=$tag,mount_tag=$tag"
      shift 2 ;;
    --background) background=yes; shift ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --) shift; while [ "$1" != --end-- ]; do set -- "$@" "$1"; shift; done ;;
    *) usage ;;
  esac
done
shift # --end--: what is left are qemu's arguments

mkdir -p "$work"
rm -f "$work/SKIPPED.txt"
# ctest shows no output of a skipped test: the reason is also kept in the work folder.
skip() {
  {
    echo "SKIPPED: the emulated PC cannot run here: $*"
    echo "It needs the Debian packages qemu-system-x86, busybox-static and cpio" \
      "(scripts/setup-debian.sh installs them) and a download of linux-image-amd64."
  } | tee "$work/SKIPPED.txt"
  exit 77
}

for tool in qemu-system-x86_64 cpio gzip dpkg-deb apt-get apt-cache ldd timeout; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed."
done
busybox=/bin/busybox
if ! [ -x "$busybox" ] || ldd "$busybox" >/dev/null 2>&1; then
  skip "a statically linked $busybox (package busybox-static) is not installed."
fi
[ -e /usr/share/seabios/bios-256k.bin ] ||
  skip "/usr/share/seabios/bios-256k.bin (package seabios, needed by qemu-system-x86) is missing."

# shellcheck source=kernel.sh
. "$here/kernel.sh"
# shellcheck disable=SC2086
debian_kernel "$cache" $module_names

root="$work/initramfs"
rm -rf "$root"
mkdir -p "$root/bin" "$root/etc" "$root/modules" "$root/proc" "$root/sys" "$root/dev" "$root/tmp"
for dir in $stage; do cp -a "$dir/." "$root/"; done
cp "$busybox" "$root/bin/busybox"
cp "$here/init.sh" "$root/init"
cp "$payload" "$root/payload"
chmod 755 "$root/init"
: >"$root/modules/load-order"
if [ -n "$modules" ]; then
  while read -r m; do cp "$modules/$m.ko" "$root/modules/"; done <"$modules/load-order"
  cp "$modules/load-order" "$root/modules/"
fi
printf '%s' "$conf" >"$root/etc/emulated-pc.conf"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.cpio.gz"

console="$work/console.log"
rm -f "$console" "$work/qemu.pid"
echo "Booting $(basename "$kernel") in qemu-system-x86_64 (software emulation, $memory)..."
set -- -machine pc,accel=tcg -m "$memory" -smp "$smp" \
  -nodefaults -no-user-config -display none -no-reboot \
  -serial "file:$console" -monitor none \
  -kernel "$kernel" -initrd "$work/initramfs.cpio.gz" \
  -append "console=ttyS0 panic=-1 rdinit=/init quiet loglevel=3" "$@"
if [ "$background" = yes ]; then
  if ! qemu-system-x86_64 "$@" -daemonize -pidfile "$work/qemu.pid" >"$work/qemu.log" 2>&1; then
    cat "$work/qemu.log"
    echo "FAILED: qemu-system-x86_64 did not start."
    exit 1
  fi
  exit 0
fi

start=$(date +%s)
status=0
timeout "$timeout_s" qemu-system-x86_64 "$@" >"$work/qemu.log" 2>&1 || status=$?
elapsed=$(($(date +%s) - start))
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
result=$(tr -d '\r' <"$console" | sed -n 's/^EMULATED-PC-RESULT: \([0-9]*\)$/\1/p' | tail -n 1)
if [ -z "$result" ]; then
  echo "FAILED: the guest ended without a result (qemu exit status $status)."
  exit 1
fi
exit "$result"
