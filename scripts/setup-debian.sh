#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Installs the Debian 12 packages the build and the tests need, if any are missing.
# apt as scripts/apt-common.sh uses it: waiting for the lock, a failed refresh tried twice.
#
#   scripts/setup-debian.sh          everything scripts/test.sh and scripts/fuzz.sh need
#   scripts/setup-debian.sh build    only what building the libraries, the simulated PC
#                                    and cardnum needs (scripts/main-job.sh)
set -eu
# shellcheck source-path=SCRIPTDIR source=apt-common.sh
. "$(dirname "$0")/apt-common.sh"

# Configuring the default preset looks for GoogleTest and Google Benchmark, whose
# packages are small; Qt, Python and the rest are looked for again at each configure.
build_packages="cmake ninja-build g++
  libtomlplusplus-dev nlohmann-json3-dev libcli11-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev"
case "${1:-}" in
  build) scope=build ;;
  "") scope=all ;;
  *)
    echo "usage: $0 [build]" >&2
    echo "Installs what scripts/test.sh needs, or with 'build' what scripts/main-job.sh needs." >&2
    exit 2
    ;;
esac

packages="$build_packages make pkg-config binutils clang-format help2man
  qt6-base-dev fonts-arphic-gkai00mp fonts-arphic-ukai xvfb xauth desktop-file-utils
  qemu-system-x86 busybox-static cpio pciutils
  python3 python3-pytest python3-hypothesis mypy python3-pip python3-setuptools python3-wheel
  clang libclang-rt-14-dev
  reuse man-db groff-base"

[ "$scope" = build ] && packages="$build_packages"
# The emulated-PC test downloads Debian's kernel package: the package lists must know it.
[ "$scope" = build ] || apt-cache show linux-image-amd64 >/dev/null 2>&1 || refresh
# shellcheck disable=SC2086
install_or_fail "the build" $packages

# promtool, from Debian's prometheus package, checks the fleet view's metrics and alert
# rules. Installing the package would start a Prometheus server: only the program is
# unpacked, into /usr/local/bin.
if [ "$scope" = all ] && ! command -v promtool >/dev/null 2>&1; then
  work=$(mktemp -d)
  (cd "$work" && apt-get download -qq prometheus 2>/dev/null && dpkg-deb -x prometheus_*.deb root)
  $as_root install -m 0755 "$work/root/usr/bin/promtool" /usr/local/bin/promtool
  rm -rf "$work"
fi
