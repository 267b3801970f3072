#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Installs the Debian 12 packages the build and the tests need, if any are missing.
# Runs apt-get as root, through sudo when started by another user.
set -eu

packages="cmake ninja-build g++ make pkg-config binutils clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libtomlplusplus-dev nlohmann-json3-dev libcli11-dev libfmt-dev help2man
  qt6-base-dev fonts-arphic-gkai00mp fonts-arphic-ukai xvfb xauth desktop-file-utils
  qemu-system-x86 busybox-static cpio pciutils
  python3 python3-pytest mypy python3-pip python3-setuptools python3-wheel
  reuse man-db groff-base"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# The emulated-PC test downloads Debian's kernel package: the package lists must know it.
lists_known=yes
apt-cache show linux-image-amd64 >/dev/null 2>&1 || lists_known=no

if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
if [ -n "$missing" ] || [ "$lists_known" = no ]; then
  # A list that fails to refresh (a mirror in the middle of a sync) does not stop us: an
  # install that then lacks a package fails, and says which.
  $as_root apt-get update -qq || echo "Some package lists could not be refreshed; going on with those at hand."
fi
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
fi

# promtool, from Debian's prometheus package, checks the fleet view's metrics and alert
# rules. Installing the package would start a Prometheus server: only the program is
# unpacked, into /usr/local/bin.
if ! command -v promtool >/dev/null 2>&1; then
  work=$(mktemp -d)
  (cd "$work" && apt-get download -qq prometheus 2>/dev/null && dpkg-deb -x prometheus_*.deb root)
  $as_root install -m 0755 "$work/root/usr/bin/promtool" /usr/local/bin/promtool
  rm -rf "$work"
fi
