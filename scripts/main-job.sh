#!/bin/sh
# Sets up and builds the project, then lists the cards of the bundled three-card
# simulated rack and looks card 2 up by its number.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset default >/dev/null
cmake --build --preset default
export PORTVEX="sim:$PWD/examples/racks/rack3.toml"
echo
echo "\$ cardnum list"
build/default/bin/cardnum list
echo
echo "\$ cardnum find 2"
build/default/bin/cardnum find 2
