#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Saves docs/cardpeek-wine.png: Cardpeek.exe under 64-bit Wine on a private X server, on a
# copy of examples/racks/rack3.toml, after reading card 1. Needs xvfb, xauth, xdotool and
# imagemagick. usage: Demo/win32/screenshot.sh [BUILD_DIR]   (default build/win64)
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build/win64}" && pwd)
if [ -z "${SCREENSHOT_DISPLAY_READY:-}" ]; then
  SCREENSHOT_DISPLAY_READY=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$build"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$top/examples/racks/rack3.toml" "$work/"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
PORTVEX="sim:Z:$work/rack3.toml" /usr/lib/wine/wine64 "$build/bin/Cardpeek.exe" &
window=$(xdotool search --sync --name '^Form1$' | head -n 1)
sleep 2
# The card number box, then Read, at their places at 96 DPI (15 twips to the pixel).
xdotool mousemove --window "$window" 170 50 click 1 key End BackSpace BackSpace BackSpace type 1
xdotool mousemove --window "$window" 90 165 click 1
sleep 2
/usr/bin/import -window "$window" "$top/docs/cardpeek-wine.png"
"$(dirname "$(readlink -f /usr/lib/wine/wine64)")/wineserver" -k 2>/dev/null || /usr/lib/wine/wineserver -k
echo "saved $top/docs/cardpeek-wine.png"
