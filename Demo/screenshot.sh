#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Starts Cardpeek under a private X server on a copy of the bundled three-card rack,
# reads card 1 and saves the window to docs/cardpeek.png.
#
#   Demo/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
#
# BUILD_DIR is an existing build folder holding bin/cardpeek (default: build/default).
# Needs xvfb-run (xvfb, xauth), xdotool and import (imagemagick); openbox, when
# installed, gives the window its title bar.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build/default}" && pwd)
output=${2:-$repo/docs/cardpeek.png}
case $output in /*) ;; *) output=$PWD/$output ;; esac


for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done
[[ -x $build/bin/cardpeek ]] || { echo "$0: no $build/bin/cardpeek; build Cardpeek first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$repo/examples/racks/rack3.toml" "$work/"
[[ -f $repo/examples/racks/rack3.eeprom.json ]] && cp "$repo/examples/racks/rack3.eeprom.json" "$work/"
mkdir -p "$(dirname "$output")"

cat >"$work/shoot.sh" <<'INSIDE'
#!/usr/bin/env bash
# Runs inside the private X server: $1 = cardpeek, $2 = rack file, $3 = output.
set -euo pipefail
if command -v openbox >/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 &
    sleep 1
fi
PORTVEX=sim:$2 QT_QPA_PLATFORM=xcb "$1" &
cardpeek=$!
trap 'kill "$cardpeek" 2>/dev/null || true' EXIT
window=$(xdotool search --sync --onlyvisible --name '^Form1$' | head -n 1)
sleep 1
# Client coordinates at 96 DPI: the card number box at (158, 41), Read at (50, 154).
xdotool mousemove --window "$window" 180 50 click 1
xdotool key ctrl+a
xdotool type --delay 50 1
xdotool mousemove --window "$window" 90 166 click 1
xdotool mousemove 0 0
sleep 1
import -window "$window" -frame "$3"
INSIDE

xvfb-run -a -s "-screen 0 640x480x24 -dpi 96" bash "$work/shoot.sh" \
    "$build/bin/cardpeek" "$work/rack3.toml" "$output"
echo "saved $output"
