#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, if any are missing.
# Runs apt-get as root, through sudo when started by another user.
set -eu

packages="cmake g++ make pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libtomlplusplus-dev nlohmann-json3-dev libcli11-dev libfmt-dev help2man
  qt6-base-dev fonts-arphic-gkai00mp fonts-arphic-ukai xvfb xauth"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
