#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Sets up and builds what the main job runs (the two libraries, the simulated PC's module
# and cardnum; not the test suite, Cardpeek or the benchmarks: scripts/test.sh builds
# those), then lists the cards of the bundled three-card simulated rack and looks card 2
# up by its number.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh build
cmake --preset default >/dev/null
cmake --build --preset default --target slotscan portvex portvex_simulator cardnum
export PORTVEX="sim:$PWD/examples/racks/rack3.toml"
echo
echo "\$ cardnum list"
build/default/bin/cardnum list
echo
echo "\$ cardnum find 2"
build/default/bin/cardnum find 2
