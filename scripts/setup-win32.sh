#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Installs what the Windows builds (presets win32 and win64) and their tests need on
# Debian 12, if any of it is missing, in two layers:
#  1. what every Debian 12 machine can install: the MinGW-w64 cross compilers, the
#     header-only libraries the simulated PC uses, 64-bit Wine (wine64), which runs on
#     every x86-64 machine, icoutils (Cardpeek.exe's resources), xvfb with xauth (its
#     window), and what runs 32-bit Wine where this machine cannot: qemu-system-x86,
#     busybox-static and cpio for the emulated PC (Debian's kernel is downloaded by the
#     tests), and debootstrap for an i386 root with wine32 (cmake/wine/i386_root.sh).
#     A package of this layer that cannot be installed fails the setup, named.
#  2. 32-bit Wine (wine32, of the i386 architecture), in an apt call of its own: it needs
#     the i386 libraries at the versions of this machine's amd64 ones, which a mirror does
#     not always have. When it cannot be installed, the setup says why, quoting apt, and
#     succeeds: the 32-bit tests then take 32-bit Wine from an i386 root.
# apt as scripts/apt-common.sh uses it: waiting for the lock, a failed refresh tried twice.
set -eu

packages="cmake ninja-build make
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  libtomlplusplus-dev nlohmann-json3-dev libfmt-dev libcli11-dev wine wine64
  icoutils xvfb xauth qemu-system-x86 busybox-static cpio debootstrap"
wine32=wine32:i386
# shellcheck source-path=SCRIPTDIR source=apt-common.sh
. "$(dirname "$0")/apt-common.sh"

# --- Layer 1: what every machine can install --------------------------------------------
# Without recommends: wine recommends wine32, which is layer 2's.
# shellcheck disable=SC2086
install_or_fail "the Windows builds" $packages

# --- Layer 2: 32-bit Wine -----------------------------------------------------------------
installed "$wine32" && exit 0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture for $wine32"
  $as_root dpkg --add-architecture i386
  refreshed=no
fi
refresh
echo "Installing: $wine32"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if apt_get install -y -qq --no-install-recommends "$wine32" >"$log" 2>&1 && installed "$wine32"; then
  cat "$log"
  exit 0
fi
echo "$wine32 cannot be installed on this machine; the 32-bit Windows tests will take 32-bit" \
  "Wine from an i386 root instead (cmake/wine/i386_root.sh). apt-get said:"
{ grep -E '^(E|W): |Depends:|Breaks:|Conflicts:' "$log" || tail -n 5 "$log"; } | sed 's/^/  /'
exit 0
