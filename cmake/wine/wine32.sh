#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The 32-bit Windows tests' way to 32-bit Wine, chosen once per run by "start":
#  - natively, where this machine runs 32-bit x86 programs and has 32-bit Wine (PROBE,
#    the 32-bit Wine loader, runs with --version);
#  - in the emulated PC (testing/emulated-pc), where the kernel runs no 32-bit programs:
#    Debian's own kernel, which does, under qemu-system-x86_64 with software emulation.
#    This machine's root file system is shared into it read-only over virtio-9p under a
#    tmpfs overlay, so the tests run there at the same paths and write nothing here but
#    their answers. One emulated PC serves all the tests of a run: it makes the Wine
#    prefix once and keeps one wineserver with the Wine session started;
#  - where 32-bit Wine is not installed (wine32:i386 cannot be had beside this machine's
#    packages), with 32-bit Wine from an i386 root (i386_root.sh, kept in CACHE_DIR) put
#    in place in the emulated PC;
#  - skipped, with the reason (apt's own words among it), when none of these can be had.
# The way is kept in DIR/way, one line, for .ci/run to report.
#
#   wine32.sh start PROBE WINE DIR CACHE_DIR  choose the way; boot the emulated PC if needed
#   wine32.sh run COMMAND [ARGUMENT...]       run a command that way (DIR from
#                                             SLOTSCAN_WINE32_DIR)
#   wine32.sh stop DIR                        shut the emulated PC down
#
# "run" refuses a 64-bit Wine prefix, passes the command's environment and working folder,
# and exits with its status. Started outside ctest's fixture, it chooses the way for
# itself, and shuts down any emulated PC it booted. Exit status 77: skipped, the reason
# printed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
self="$here/$(basename "$0")"
boot="$here/../../testing/emulated-pc/boot.sh"
# The modules wine32_guest_root.sh needs, with what they depend on.
guest_modules="virtio_pci 9pnet_virtio 9p overlay"
memory=${SLOTSCAN_WINE32_PC_MEMORY:-3G}
boot_timeout=${SLOTSCAN_WINE32_PC_TIMEOUT:-1200}

usage() {
  sed -n '/^#   wine32.sh/p' "$self" | sed 's/^#   /usage: /' >&2
  exit 2
}

elapsed_since() { echo $(($(date +%s) - $1)); }

qemu_alive() {
  [ -s "$dir/pc/qemu.pid" ] && kill -0 "$(cat "$dir/pc/qemu.pid")" 2>/dev/null
}

show_console() {
  echo "----- emulated PC: console -----"
  tr -d '\r' <"$dir/pc/console.log" 2>/dev/null | grep -v '^$' | tail -n 40 || true
  if [ -s "$dir/spool/session.log" ]; then
    echo "----- emulated PC: session.log -----"
    cat "$dir/spool/session.log"
  fi
  if [ -s "$dir/pc/qemu.log" ]; then
    echo "----- qemu said -----"
    cat "$dir/pc/qemu.log"
  fi
  echo "-----"
}

# ctest shows no output of a skipped test: the reason is also kept in $dir/state, where
# each test finds it.
skip() {
  echo "skipped: $*" >"$dir/state"
  echo "skipped: $*" >"$dir/way"
  echo "SKIPPED: 32-bit Wine cannot run here: $*"
  exit 77
}

# Why apt cannot install wine32 here, in its own words (it is asked, not told to install).
apt_says() {
  if _said=$(apt-get -s -qq install wine32:i386 2>&1); then
    echo "apt-get can install wine32:i386: scripts/setup-win32.sh does"
  else
    echo "apt-get install wine32:i386 says: $(echo "$_said" | grep -E '^(E: | *wine32)' | head -n 3 |
      sed 's/^ *//' | awk '{ printf "%s%s", (NR > 1 ? "; " : ""), $0 }')"
  fi
}

# A prefix a 64-bit Wine made cannot run the 32-bit tests: Wine would start nothing and
# say nothing.
wine_arch() { sed -n 's/^#arch=//p' "$1/system.reg" 2>/dev/null | head -n 1; }

start() {
  [ $# -eq 4 ] || usage
  probe=$1 wine=$2 dir=$3 cache=$4
  mkdir -p "$dir"
  if qemu_alive; then
    echo "An emulated PC from an earlier run is still up: shutting it down."
    stop_pc
  fi
  rm -f "$dir/state" "$dir/way" "$dir/pc/qemu.pid"
  # The build's own prefix, made by 64-bit Wine before (where 32-bit Wine was missing):
  # made again.
  if [ -n "${WINEPREFIX:-}" ] && [ "$(wine_arch "$WINEPREFIX")" = win64 ]; then
    echo "The Wine prefix $WINEPREFIX is 64-bit (made by 64-bit Wine): making a 32-bit one instead."
    rm -rf "$WINEPREFIX"
  fi

  i386_root=""
  if [ -e "$probe" ]; then
    if why=$("$probe" --version 2>&1 >/dev/null); then
      echo "native" >"$dir/state"
      echo "natively, under this machine's 32-bit Wine ($probe)" >"$dir/way"
      echo "WINE32: this machine runs 32-bit programs ($probe --version): the 32-bit tests run" \
        "natively; no emulated PC is booted."
      WINEARCH=win32 "$wine" cmd /c exit >/dev/null 2>&1 || true
      exit 0
    fi
    because="this machine cannot execute 32-bit x86 programs ($probe --version: $(echo "$why" | head -n 1))"
    from="this machine's 32-bit Wine"
  else
    because="32-bit Wine ($probe) is not installed ($(apt_says))"
    echo "WINE32: $because: taking 32-bit Wine from an i386 root instead."
    made=$(sh "$here/i386_root.sh" "$cache") || skip "$because, and no i386 root could be made: $made"
    echo "$made" | sed '$d'
    i386_root=$(echo "$made" | tail -n 1)
    from="32-bit Wine from the i386 root $i386_root"
  fi
  echo "WINE32: the 32-bit tests run in an emulated PC, under $from: $because."

  rm -rf "$dir/spool"
  mkdir -p "$dir/spool"
  # The tests' Wine variables (WINEPREFIX and the like) for the session.
  export -p | grep '^export WINE' >"$dir/spool/session.env" || true
  started=$(date +%s)
  status=0
  # About 600 MB is written while the prefix is made; afterwards much less is in use.
  sh "$boot" "$dir/pc" "$cache" "$here/wine32_guest_root.sh" --modules "$guest_modules" \
    --memory "$memory" --smp 2 --background \
    --share-ro hostroot=/ --share spool="$dir/spool" \
    --conf "spool=$dir/spool" --conf "guest_script=$here/wine32_guest.sh" \
    --conf "tmpfs_size=2700m" --conf "i386_root=$i386_root" || status=$?
  [ "$status" -eq 77 ] && skip "$because, and $(sed -n 's/^SKIPPED: //p' "$dir/pc/SKIPPED.txt")"
  if [ "$status" -ne 0 ]; then
    echo "failed" >"$dir/state"
    exit 1
  fi
  echo "running" >"$dir/state"
  echo "in the emulated PC, under $from: $because" >"$dir/way"

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
  tr -d '\r' <"$dir/pc/console.log" | grep '^WINE32-PC:' || true
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
  dir=${SLOTSCAN_WINE32_DIR:?SLOTSCAN_WINE32_DIR must name the folder of the 32-bit Wine runs}
  if [ -n "${WINEPREFIX:-}" ] && [ "$(wine_arch "$WINEPREFIX")" = win64 ]; then
    echo "FAILED: the Wine prefix $WINEPREFIX was made by 64-bit Wine: a 32-bit test cannot run" \
      "in it. Remove it (rm -rf '$WINEPREFIX'); the next run makes a 32-bit one."
    exit 1
  fi
  state=$(cat "$dir/state" 2>/dev/null || echo none)
  own=""
  case "$state" in
    native)
      echo "WINE32: ran natively (this machine executes 32-bit x86 programs)"
      exec "$@" ;;
    skipped:*)
      echo "SKIPPED: 32-bit Wine cannot run here: ${state#skipped: }" \
        "The 64-bit Windows tests cover the same code."
      exit 77 ;;
    failed)
      echo "FAILED: the emulated PC for the 32-bit tests did not start (see the test that starts it," \
        "and $dir/pc/console.log)."
      exit 1 ;;
    running)
      qemu_alive || { echo "FAILED: the emulated PC for the 32-bit tests is no longer running."; exit 1; } ;;
    *)
      # No fixture chose the way: choose it for this command alone.
      status=0
      (start "${SLOTSCAN_X86_32_PROBE:-/usr/lib/wine/wine}" "${SLOTSCAN_WINE:-wine}" "$dir" \
        "${SLOTSCAN_VM_CACHE:-$dir/vm-cache}") || status=$?
      [ "$status" -eq 0 ] || exit "$status"
      [ "$(cat "$dir/state")" = running ] || exec sh "$self" run "$@"
      own=yes ;;
  esac

  id="$dir/spool/$(date +%s%N)-$$"
  {
    printf 'cd %s || exit 125\n' "$(quote "$(pwd)")"
    export -p | grep -v '^export \(DISPLAY\|XAUTHORITY\|WAYLAND_DISPLAY\|SLOTSCAN_WINE32_DIR\)='
    printf 'exec'
    for a in "$@"; do printf ' %s' "$(quote "$a")"; done
    printf '\n'
  } >"$id.job"
  echo "WINE32: ran $(cat "$dir/way" 2>/dev/null)"
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
  if qemu_alive; then
    touch "$dir/spool/stop"
    waited=0
    while qemu_alive && [ "$waited" -lt 60 ]; do
      sleep 1
      waited=$((waited + 1))
    done
    if qemu_alive; then
      echo "The emulated PC did not shut down within 60 s: ending qemu."
      kill "$(cat "$dir/pc/qemu.pid")" 2>/dev/null || true
    fi
    tr -d '\r' <"$dir/pc/console.log" | grep '^WINE32-PC\|^EMULATED-PC' || true
  fi
  rm -f "$dir/pc/qemu.pid"
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
