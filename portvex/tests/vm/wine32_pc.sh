#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# 32-bit Windows tests where this machine's kernel runs no 32-bit programs: they run in an
# emulated PC (qemu-system-x86_64, software emulation) booted from Debian's own kernel,
# which does. This machine's root file system is shared into it read-only over virtio-9p
# under a tmpfs overlay, so the tests run there under this machine's own 32-bit Wine, at
# the same paths, and write nothing here but their answers. One emulated PC serves all the
# tests of a run: it makes the Wine prefix once and keeps one wineserver with the Wine
# session started.
#
#   wine32_pc.sh start PROBE DIR CACHE_DIR   boot it, unless PROBE (a 32-bit program) runs
#                                            here: then nothing is needed
#   wine32_pc.sh run COMMAND [ARGUMENT...]   run a command in it (DIR from SLOTSCAN_WINE32_PC_DIR)
#   wine32_pc.sh stop DIR                    shut it down
#
# "run" passes the command's environment and working folder, and exits with its status.
# Started without a running emulated PC (outside ctest's fixture), "run" boots one for
# itself and shuts it down afterwards. Exit status 77: the emulated PC cannot be had here
# (no qemu, no kernel package, no 9p module), the reason printed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
self="$here/$(basename "$0")"
# The modules wine32_guest_init.sh loads, with what they depend on.
guest_modules="virtio_pci 9pnet_virtio 9p overlay"
memory=${SLOTSCAN_WINE32_PC_MEMORY:-3G}
boot_timeout=${SLOTSCAN_WINE32_PC_TIMEOUT:-1200}

usage() {
  sed -n '/^#   wine32_pc.sh/p' "$self" | sed 's/^#   /usage: /' >&2
  exit 2
}

elapsed_since() { echo $(($(date +%s) - $1)); }

qemu_alive() {
  [ -s "$dir/qemu.pid" ] && kill -0 "$(cat "$dir/qemu.pid")" 2>/dev/null
}

show_console() {
  echo "----- emulated PC: console -----"
  tr -d '\r' <"$dir/console.log" 2>/dev/null | grep -v '^$' | tail -n 40 || true
  if [ -s "$dir/spool/session.log" ]; then
    echo "----- emulated PC: session.log -----"
    cat "$dir/spool/session.log"
  fi
  if [ -s "$dir/qemu.log" ]; then
    echo "----- qemu said -----"
    cat "$dir/qemu.log"
  fi
  echo "-----"
}

# ctest shows no output of a skipped test: the reason is also kept in $dir/state, where
# each test finds it.
skip() {
  echo "skipped: $*" >"$dir/state"
  echo "SKIPPED: the emulated PC for the 32-bit tests cannot run here: $*"
  echo "It needs the Debian packages qemu-system-x86, busybox-static and cpio" \
    "(scripts/setup-win32.sh installs them) and a download of linux-image-amd64."
  exit 77
}

start() {
  [ $# -eq 3 ] || usage
  probe=$1 dir=$2 cache=$3
  mkdir -p "$dir"
  if [ -e "$dir/qemu.pid" ] && qemu_alive; then
    echo "An emulated PC from an earlier run is still up: shutting it down."
    stop_pc
  fi
  rm -f "$dir/state" "$dir/qemu.pid"
  if [ ! -e "$probe" ]; then
    # The emulated PC runs this machine's Wine: without wine32 it has nothing to run.
    echo "failed" >"$dir/state"
    echo "FAIL: $probe not found: install 32-bit Wine with scripts/setup-win32.sh"
    exit 1
  fi
  if "$probe" --version >/dev/null 2>&1; then
    echo "native" >"$dir/state"
    echo "WINE32: this machine runs 32-bit programs ($probe --version): the 32-bit tests run" \
      "natively; no emulated PC is booted."
    exit 0
  fi
  echo "WINE32: this machine cannot execute 32-bit x86 programs ($probe --version fails):" \
    "the 32-bit tests run in an emulated PC."

  for tool in qemu-system-x86_64 cpio gzip dpkg-deb apt-get apt-cache grep; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed."
  done
  busybox=/bin/busybox
  if ! [ -x "$busybox" ] || ldd "$busybox" >/dev/null 2>&1; then
    skip "a statically linked $busybox (package busybox-static) is not installed."
  fi
  [ -e /usr/share/seabios/bios-256k.bin ] ||
    skip "/usr/share/seabios/bios-256k.bin (package seabios, needed by qemu-system-x86) is missing."
  # shellcheck source=debian_kernel.sh
  . "$here/debian_kernel.sh"
  # shellcheck disable=SC2086
  debian_kernel "$cache" $guest_modules

  root="$dir/initramfs"
  rm -rf "$root" "$dir/spool"
  mkdir -p "$root/bin" "$root/etc" "$root/modules" "$root/proc" "$root/sys" "$root/dev" "$dir/spool"
  cp "$busybox" "$root/bin/busybox"
  cp "$here/wine32_guest_init.sh" "$root/init"
  chmod 755 "$root/init"
  while read -r m; do cp "$modules/$m.ko" "$root/modules/"; done <"$modules/load-order"
  cp "$modules/load-order" "$root/modules/"
  # About 600 MB is written while the prefix is made; afterwards much less is in use.
  printf 'spool=%s\nguest_script=%s\ntmpfs_size=%s\n' "$dir/spool" "$here/wine32_guest.sh" 2700m \
    >"$root/etc/wine32-pc.conf"
  (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$dir/initramfs.cpio.gz"
  # The tests' Wine variables (WINEPREFIX and the like) for the session.
  export -p | grep '^export WINE' >"$dir/spool/session.env" || true

  echo "Booting $(basename "$kernel") in qemu-system-x86_64 (software emulation, $memory)..."
  started=$(date +%s)
  rm -f "$dir/console.log"
  qemu-system-x86_64 \
    -machine pc,accel=tcg -m "$memory" -smp 2 \
    -nodefaults -no-user-config -display none -no-reboot \
    -serial "file:$dir/console.log" -monitor none \
    -kernel "$kernel" -initrd "$dir/initramfs.cpio.gz" \
    -append "console=ttyS0 panic=-1 rdinit=/init quiet loglevel=3" \
    -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
    -fsdev local,id=spool,path="$dir/spool",security_model=none \
    -device virtio-9p-pci,fsdev=spool,mount_tag=spool \
    -daemonize -pidfile "$dir/qemu.pid" >"$dir/qemu.log" 2>&1 ||
    { show_console; echo "FAILED: qemu-system-x86_64 did not start."; exit 1; }
  echo "running" >"$dir/state"

  echo "Making the Wine prefix and starting the Wine session in the emulated PC..."
  while ! [ -e "$dir/spool/ready" ]; do
    if [ -e "$dir/spool/failed" ] || ! qemu_alive || [ "$(elapsed_since "$started")" -ge "$boot_timeout" ]; then
      show_console
      echo "failed" >"$dir/state"
      stop_pc
      echo "FAILED: the emulated PC did not get ready for the 32-bit tests" \
        "($(elapsed_since "$started") s; limit $boot_timeout s)."
      exit 1
    fi
    sleep 1
  done
  tr -d '\r' <"$dir/console.log" | grep '^WINE32-PC:' || true
  cat "$dir/spool/session.log"
  echo "WINE32: the emulated PC is ready for the 32-bit tests after $(elapsed_since "$started") s."
}

# Runs a command in the emulated PC, as a job: its environment, working folder and
# arguments, each quoted for the shell.
quote() {
  printf '%s' "$1" | sed -e "s/'/'\\\\''/g" -e "1s/^/'/" -e "\$s/\$/'/"
}

run() {
  [ $# -ge 1 ] || usage
  dir=${SLOTSCAN_WINE32_PC_DIR:?SLOTSCAN_WINE32_PC_DIR must name the folder of the emulated PC}
  state=$(cat "$dir/state" 2>/dev/null || echo none)
  own=""
  case "$state" in
    skipped:*)
      echo "SKIPPED: this machine cannot execute 32-bit x86 programs, and the emulated PC that" \
        "would run them cannot run here: ${state#skipped: } The 64-bit Windows tests cover the same code."
      exit 77 ;;
    failed)
      echo "FAILED: the emulated PC for the 32-bit tests did not start (see the test that starts it," \
        "and $dir/console.log)."
      exit 1 ;;
    running)
      qemu_alive || { echo "FAILED: the emulated PC for the 32-bit tests is no longer running."; exit 1; } ;;
    *)
      # No fixture started one: boot one for this command alone.
      probe=${SLOTSCAN_X86_32_PROBE:-/usr/lib/wine/wine}
      status=0
      (start "$probe" "$dir" "${SLOTSCAN_VM_CACHE:-$dir/vm-cache}") || status=$?
      [ "$status" -eq 0 ] || exit "$status"
      [ "$(cat "$dir/state")" = running ] || exec "$@"
      own=yes ;;
  esac

  id="$dir/spool/$(date +%s%N)-$$"
  {
    printf 'cd %s || exit 125\n' "$(quote "$(pwd)")"
    export -p | grep -v '^export \(DISPLAY\|XAUTHORITY\|WAYLAND_DISPLAY\|SLOTSCAN_WINE32_PC_DIR\)='
    printf 'exec'
    for a in "$@"; do printf ' %s' "$(quote "$a")"; done
    printf '\n'
  } >"$id.job"
  echo "WINE32: ran in the emulated PC (this machine cannot execute 32-bit x86 programs)"
  started=$(date +%s)
  touch "$id.go"
  while ! [ -e "$id.rc" ]; do
    if ! qemu_alive; then
      cat "$id.out" 2>/dev/null || true
      show_console
      echo "FAILED: the emulated PC stopped while the command ran."
      exit 1
    fi
    sleep 0.2
  done
  cat "$id.out"
  status=$(cat "$id.rc")
  echo "WINE32: the command took $(elapsed_since "$started") s in the emulated PC (exit status $status)."
  rm -f "$id.job" "$id.out" "$id.rc"
  [ -z "$own" ] || stop_pc
  exit "$status"
}

stop_pc() {
  if [ -s "$dir/qemu.pid" ] && qemu_alive; then
    touch "$dir/spool/stop"
    waited=0
    while qemu_alive && [ "$waited" -lt 60 ]; do
      sleep 1
      waited=$((waited + 1))
    done
    if qemu_alive; then
      echo "The emulated PC did not shut down within 60 s: ending qemu."
      kill "$(cat "$dir/qemu.pid")" 2>/dev/null || true
    fi
    tr -d '\r' <"$dir/console.log" | grep '^WINE32-PC' || true
  fi
  rm -f "$dir/qemu.pid"
}

stop() {
  [ $# -eq 1 ] || usage
  dir=$1
  state=$(cat "$dir/state" 2>/dev/null || echo none)
  stop_pc
  [ -e "$dir/spool/session.log" ] && cat "$dir/spool/session.log"
  rm -f "$dir/state"
  case "$state" in
    running | failed) echo "WINE32: the emulated PC is shut down." ;;
    *) echo "WINE32: no emulated PC to shut down ($state)." ;;
  esac
}

# The whole command line is read before anything runs, and the exit follows on the same
# line: a change to this file while a test runs cannot feed the shell the rest of it.
main() {
  [ $# -ge 1 ] || usage
  command=$1
  shift
  case "$command" in
    start) start "$@" ;;
    run) run "$@" ;;
    stop) stop "$@" ;;
    *) usage ;;
  esac
}
main "$@"; exit $?
