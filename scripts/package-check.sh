#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Builds the Debian packages once (debian/), checks them with lintian, installs them with
# apt-get, tries each from the installed system (cardnum on an installed example rack,
# pkg-config, a CMake consumer, the Python package, the fleet view's metrics with promtool
# and its units with systemd-analyze), then purges them and checks that nothing of ours is
# left but the portvex group. For CI machines: it installs and removes system packages
# (through sudo when not run as root). Everything else it writes goes to a folder in /tmp.
set -eu
cd "$(dirname "$0")/.."
src=$(pwd)
if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages="libslotscan1 libslotscan-dev slotscan-tools cardpeek python3-slotscan"
work=$(mktemp -d /tmp/slotscan-packages.XXXXXX)
installed=no

ours_installed() {
  for p in $packages; do
    dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qv '^not-installed$' && return 0
  done
  return 1
}
purge() {
  # shellcheck disable=SC2086
  $as_root apt-get purge -y -qq $packages >/dev/null
}
cleanup() {
  if [ "$installed" = yes ]; then purge || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { printf '\n== %s\n' "$*"; }
fail() { echo "package-check: $*" >&2; exit 1; }

if ours_installed; then fail "Slotscan packages are installed already: purge them first"; fi

step "Build dependencies, lintian, promtool"
# A list that fails to refresh (a mirror in the middle of a sync) does not stop us: an
# install that then lacks a package fails, and says which.
$as_root apt-get update -qq || echo "Some package lists could not be refreshed; going on with those at hand."
$as_root apt-get build-dep -y -qq "$src" >/dev/null
$as_root apt-get install -y -qq --no-install-recommends dpkg-dev fakeroot lintian \
  cmake g++ pkg-config python3 systemd >/dev/null
# promtool without the Prometheus server (which the package would start): unpacked only.
promtool_dir=""
if ! command -v promtool >/dev/null 2>&1; then
  (cd "$work" && apt-get download -qq prometheus && dpkg-deb -x prometheus_*.deb prometheus)
  promtool_dir="$work/prometheus/usr/bin"
fi

step "Build the packages"
# A copy of the tree, so that dpkg-buildpackage writes the packages beside it, in /tmp.
mkdir "$work/src"
git ls-files -z --cached --others --exclude-standard |
  tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C "$work/src"
(cd "$work/src" && DEB_BUILD_OPTIONS="nocheck noautodbgsym terse parallel=2" dpkg-buildpackage -b -uc -us)
debs=$(ls "$work"/*.deb)
for deb in $debs; do
  echo "$(basename "$deb"):"
  dpkg-deb -c "$deb" | awk '{ print "  " $6 ($7 ? " " $7 " " $8 : "") }'
done

step "lintian"
# Warnings left on purpose are overridden, each with its reason, in debian/*.lintian-overrides.
lintian --fail-on error,warning --info "$work"/*.changes

step "Install the packages"
# shellcheck disable=SC2086
$as_root apt-get install -y -qq $debs >/dev/null
installed=yes

step "cardnum from the installed system"
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
cardnum --version | grep -qx "cardnum $version" || fail "cardnum --version: $(cardnum --version)"
mkdir "$work/rack"
cp /usr/share/slotscan/racks/rack3.toml "$work/rack/"
PORTVEX="sim:$work/rack/rack3.toml" cardnum list | tee "$work/list.txt"
grep -q '^3 cards' "$work/list.txt" || fail "cardnum list on the installed rack3.toml"
getent group portvex >/dev/null || fail "no portvex group"
[ "$(systemctl is-enabled slotscan-metrics.timer 2>&1 || true)" = disabled ] ||
  fail "slotscan-metrics.timer is not installed disabled"

step "The -dev package"
libs=$(pkg-config --libs slotscan)
echo "pkg-config --libs slotscan: $libs"
case " $libs " in *" -lslotscan "*) ;; *) fail "pkg-config --libs slotscan: $libs" ;; esac
# shellcheck disable=SC2046
cc -o "$work/list_cards_pc" examples/list_cards.c $(pkg-config --cflags --libs slotscan)
cmake -S "$src/examples/consumer" -B "$work/consumer" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" >/dev/null
for program in "$work/list_cards_pc" "$work/consumer/list_cards"; do
  PORTVEX="sim:$work/rack/rack3.toml" "$program"
done

step "The Python package"
# Debian's own interpreter, away from the tree (whose slotscan/ folder would shadow it).
(
  cd "$work"
  /usr/bin/python3 -c "import slotscan"
  PORTVEX="sim:$work/rack/rack3.toml" /usr/bin/python3 -c \
    "import slotscan; n = slotscan.cards(); print(n, slotscan.__file__); assert n == [1, 2, 3]"
)

step "The fleet view's metrics pass promtool"
PATH="${promtool_dir:+$promtool_dir:}$PATH" tools/cardnum/tests/promtool_check.sh \
  /usr/bin/cardnum /usr/share/slotscan/racks/*.toml

step "The installed alert rules pass promtool"
PATH="${promtool_dir:+$promtool_dir:}$PATH" promtool check rules \
  /usr/share/slotscan/slotscan-alerts.yml

step "The fleet view's units"
systemd-analyze verify /lib/systemd/system/slotscan-metrics.service \
  /lib/systemd/system/slotscan-metrics.timer
systemd-analyze security --offline=true --threshold=40 \
  /lib/systemd/system/slotscan-metrics.service

step "Purge, and check that only the portvex group is left"
purge
installed=no
if ours_installed; then fail "still installed after the purge"; fi
left=""
for deb in $debs; do
  for path in $(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }'); do
    if [ -e "$path" ] || [ -L "$path" ]; then left="$left $path"; fi
  done
done
for path in /usr/lib/python3/dist-packages/slotscan /usr/share/slotscan \
  /var/lib/systemd/deb-systemd-helper-enabled/slotscan-metrics.timer.dsh-also \
  /var/lib/systemd/deb-systemd-helper-masked/slotscan-metrics.timer; do
  if [ -e "$path" ]; then left="$left $path"; fi
done
[ -z "$left" ] || fail "left after the purge:$left"
getent group portvex >/dev/null || fail "the purge removed the portvex group"
echo "Purged: nothing left but the portvex group."
