#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Installs what the Windows builds (presets win32 and win64) and their tests need on
# Debian 12, if any of it is missing: the MinGW-w64 cross compilers, the header-only
# libraries the simulated PC uses, 64-bit Wine (wine64), which runs on every x86-64
# machine, and 32-bit Wine (wine32, from the i386 architecture), which runs only where the
# kernel executes 32-bit programs; elsewhere the 32-bit tests run in an emulated PC
# (qemu-system-x86, busybox-static and cpio, and Debian's kernel downloaded by the tests);
# and for Cardpeek.exe's tests icoutils (its resources) and xvfb with xauth (its window).
# Runs apt-get as root, through sudo when started by another user.
set -eu

packages="cmake ninja-build make
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  libtomlplusplus-dev nlohmann-json3-dev libfmt-dev libcli11-dev wine wine64 wine32:i386
  icoutils xvfb xauth qemu-system-x86 busybox-static cpio"

if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture for wine32"
  $as_root dpkg --add-architecture i386
fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
# A list that fails to refresh (a mirror in the middle of a sync) does not stop us: an
# install that then lacks a package fails, and says which.
$as_root apt-get update -qq || echo "Some package lists could not be refreshed; going on with those at hand."
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing
