#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, if any are missing.
# Runs apt-get as root, through sudo when started by another user.
set -eu

packages="cmake g++ make pkg-config binutils clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libtomlplusplus-dev nlohmann-json3-dev libcli11-dev libfmt-dev help2man
  qt6-base-dev fonts-arphic-gkai00mp fonts-arphic-ukai xvfb xauth desktop-file-utils
  qemu-system-x86 busybox-static cpio pciutils
  python3 python3-pytest mypy python3-pip python3-setuptools python3-wheel"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# The emulated-PC test downloads Debian's kernel package: the package lists must know it.
lists_known=yes
apt-cache show linux-image-amd64 >/dev/null 2>&1 || lists_known=no
[ -z "$missing" ] && [ "$lists_known" = yes ] && exit 0

if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
$as_root apt-get update -qq
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
