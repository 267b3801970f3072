#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# 32-bit Wine without installing wine32:i386 on this machine: a Debian 12 root of the i386
# architecture holding wine32, made with debootstrap --foreign (which runs no 32-bit
# program) and its downloaded packages unpacked with dpkg-deb -x. It does not depend on
# the versions of this machine's own packages, so it can be had where apt cannot install
# wine32:i386 beside them. The one step of libwine's installation that Wine needs is done
# here: zlib1.dll, with Wine's builtin marker, in Wine's PE folders.
#
#   i386_root.sh CACHE_DIR
#
# makes CACHE_DIR/i386-wine32 once (about 870 MB; three minutes with a fast mirror) and
# keeps it for later runs. Prints what it holds, then the root's path on the last line; on
# failure, one line that says why (with debootstrap's own words), and exits 1. Progress
# goes to standard error. SLOTSCAN_DEBIAN_MIRROR names another mirror.
set -eu
[ $# -eq 1 ] || { echo "usage: i386_root.sh CACHE_DIR" >&2; exit 2; }
cache=$1
root="$cache/i386-wine32"
mirror=${SLOTSCAN_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# wine32, and what apt would install with it as recommended that windows on an X display
# use (debootstrap follows dependencies only).
packages=wine32,libxcomposite1,libxcursor1,libxfixes3,libxi6,libxinerama1,libxrandr2,libxrender1,libxxf86vm1,libgnutls30,libdbus-1-3

if [ -s "$root/.complete" ] && grep -q "^packages: $packages$" "$root/.complete"; then
  echo "32-bit Wine from the i386 root made before: $(head -n 1 "$root/.complete")"
  echo "$root"
  exit 0
fi
for tool in debootstrap dpkg-deb; do
  if ! command -v "$tool" >/dev/null 2>&1 && ! [ -x "/usr/sbin/$tool" ]; then
    echo "$tool is not installed (Debian package $tool)"
    exit 1
  fi
done
PATH=$PATH:/usr/sbin:/sbin
mkdir -p "$cache"
new="$root.new"
rm -rf "$new" "$root"
started=$(date +%s)
echo "Making an i386 root with wine32 in $root (debootstrap from $mirror)..." >&2
if ! debootstrap --foreign --arch=i386 --variant=minbase --include="$packages" bookworm "$new" "$mirror" \
     >"$cache/i386-wine32.log" 2>&1; then
  said=$(grep -E '^E: ' "$cache/i386-wine32.log" | tail -n 1)
  echo "debootstrap failed (${said:-$(tail -n 1 "$cache/i386-wine32.log")}; all of it in $cache/i386-wine32.log)"
  rm -rf "$new"
  exit 1
fi
# Unpacked as dpkg-deb -x would, but keeping the root's /lib a link to usr/lib.
for deb in "$new"/var/cache/apt/archives/*.deb; do
  if ! dpkg-deb --fsys-tarfile "$deb" | tar -x --keep-directory-symlink -C "$new"; then
    echo "unpacking $deb failed"
    rm -rf "$new"
    exit 1
  fi
done
wine_version=$(ls "$new"/var/cache/apt/archives/wine32_*_i386.deb | sed 's/.*wine32_\(.*\)_i386.deb/\1/; s/%3a/:/')
# libwine's post-installation step: the zlib DLLs of libz-mingw-w64, marked as builtin.
for arch in i686:i386 x86_64:x86_64; do
  for dll in "$new/usr/${arch%%:*}-w64-mingw32/lib"/zlib*.dll; do
    [ -f "$dll" ] || continue
    out="$new/usr/lib/i386-linux-gnu/wine/${arch#*:}-windows/$(basename "$dll")"
    [ -d "$(dirname "$out")" ] || continue
    { head -c 64 "$dll"; printf 'Wine builtin DLL'; printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'; tail -c +97 "$dll"; } >"$out"
  done
done
if ! [ -f "$new/usr/lib/wine/wine" ] || ! [ -f "$new/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll" ]; then
  echo "the unpacked packages hold no 32-bit Wine loader or zlib1.dll"
  rm -rf "$new"
  exit 1
fi
rm -rf "$new/var/cache/apt/archives"/*.deb
printf 'wine32 %s from %s, made in %s s (%s MB)\npackages: %s\n' "$wine_version" "$mirror" \
  "$(($(date +%s) - started))" "$(du -sm "$new" | cut -f1)" "$packages" >"$new/.complete"
mv "$new" "$root"
head -n 1 "$root/.complete"
echo "$root"
