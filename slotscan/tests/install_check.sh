#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Installs the project into a scratch prefix, then builds the example program against
# the installed library twice, through the CMake package and through pkg-config, and
# runs both on a copy of the bundled three-card rack; and builds a card model against the
# installed portvex/simulated.h and runs it on the digital I/O rack. A third argument gives compiler
# flags for the programs (the sanitizer build needs its runtime linked in first).
set -eu
build=$1
source=$2
extra=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passes=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; echo "$passes passed, 1 failed"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cp "$source/examples/racks/rack3.toml" "$work/"

# The port layer needs no simulator, TOML or fmt library; the simulated PC is private,
# and no run path has an empty entry (the current folder).
portvex_lib=$(find "$work/prefix" -name 'libportvex.so.1' | head -n 1)
readelf -d "$portvex_lib" | grep NEEDED | grep -E 'simpc|toml|fmt' &&
  fail "$portvex_lib needs the simulated PC's libraries"
ok "libportvex.so.1 needs none of the simulated PC's libraries"
find "$work/prefix" -name 'libsimpc.so*' | grep -v '/slotscan/' &&
  fail "libsimpc is installed outside the private folder"
ok "libsimpc is installed in the private folder only"
for f in "$portvex_lib" "$work/prefix/bin/cardnum"; do
  [ -e "$f" ] || continue
  readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -E '\[:|::|:\]' &&
    fail "$f has an empty run path entry"
  ok "$(basename "$f") has no empty run path entry"
done
export PORTVEX="sim:$work/rack3.toml"

cmake -S "$source/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_C_FLAGS="$extra" -DCMAKE_EXE_LINKER_FLAGS="$extra" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/list_cards" 2 | grep -q 'card 2: I/O base 0x0340, IRQ 10' &&
  ok "a program built through the CMake package finds card 2" ||
  fail "the program built through the CMake package does not find card 2"

libdir=$(find "$work/prefix" -name slotscan.pc -path '*pkgconfig*' -exec dirname {} \;)
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --define-variable=prefix="$work/prefix" --cflags --libs slotscan)
# shellcheck disable=SC2086
cc $extra -o "$work/by_pkgconfig" "$source/examples/list_cards.c" $flags
LD_LIBRARY_PATH="$work/prefix/lib" "$work/by_pkgconfig" 3 | grep -q 'card 3: I/O base 0x0380, IRQ 11' &&
  ok "a program built through pkg-config finds card 3" ||
  fail "the program built through pkg-config does not find card 3"

# A card model in C, built against the installed portvex/simulated.h and libportvex alone.
cp "$source/examples/racks/dio32.toml" "$work/"
# shellcheck disable=SC2086
cc $extra -o "$work/card_models" "$source/portvex/tests/card_models_test.c" \
  -I"$work/prefix/include" -L"$(dirname "$portvex_lib")" -lportvex
models=$(PORTVEX="sim:$work/dio32.toml" LD_LIBRARY_PATH="$work/prefix/lib" "$work/card_models" sim)
echo "$models" | grep -Eq '^[1-9][0-9]* passed, 0 failed$' &&
  ok "a card model built against the installed portvex/simulated.h runs: $models" ||
  fail "the card model built against the installed headers says: $models"
echo "$passes passed, 0 failed"
