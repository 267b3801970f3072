#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Remakes cardpeek.ico, the icon group of Cardpeek.exe, from the window's PNG icons: 32x32
# in two colours, 32x32 in 16 colours and 16x16 in 16 colours, each with its mask.
# Needs imagemagick and icoutils. usage: Demo/win32/make_icon.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
icons=$here/../icons/hicolor
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mask="-channel A -threshold 50% +channel"
# shellcheck disable=SC2086
/usr/bin/convert "$icons/32x32/apps/cardpeek.png" $mask \( +clone -alpha off -monochrome \) \
  +swap -compose CopyOpacity -composite -colors 2 "PNG8:$work/m32.png"
# shellcheck disable=SC2086
/usr/bin/convert "$icons/32x32/apps/cardpeek.png" $mask -colors 16 "PNG8:$work/c32.png"
# shellcheck disable=SC2086
/usr/bin/convert "$icons/16x16/apps/cardpeek.png" $mask -colors 16 "PNG8:$work/c16.png"
icotool -c -o "$here/cardpeek.ico" -b 1 "$work/m32.png" -b 4 "$work/c32.png" -b 4 "$work/c16.png"
icotool -l "$here/cardpeek.ico"
