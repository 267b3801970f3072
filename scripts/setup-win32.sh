#!/bin/sh
# Installs what the 32-bit Windows build and its tests need on Debian 12, if any of it is
# missing: the MinGW-w64 cross compiler, the header-only libraries the simulated PC uses,
# and Wine for 32-bit programs (which needs the i386 architecture).
# Runs apt-get as root, through sudo when started by another user.
set -eu

packages="cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686
  libtomlplusplus-dev nlohmann-json3-dev libfmt-dev wine wine32:i386"

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
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing
