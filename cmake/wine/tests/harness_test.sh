#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The Wine harness on stand-in test programs (no Wine is run; cmake/testing checks how a
# test's summary line is judged):
#  - wine32.sh run refuses a prefix that 64-bit Wine made, and runs the command in a
#    32-bit one;
#  - where no way to 32-bit Wine works, the tests are skipped with apt's own error.
# usage: harness_test.sh cmake/wine
set -u
wine_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passes=0 failures=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# wine32.sh run, with the way already chosen: natively.
mkdir -p "$work/wine32" "$work/prefix64" "$work/prefix32"
echo native >"$work/wine32/state"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n' >"$work/prefix64/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n' >"$work/prefix32/system.reg"
for arch in 64 32; do
  output=$(SLOTSCAN_WINE32_DIR="$work/wine32" WINEPREFIX="$work/prefix$arch" \
    sh "$wine_dir/wine32.sh" run sh -c 'echo "ran in $WINEPREFIX"' 2>&1)
  status=$?
  case "$arch:$status:$output" in
    64:1:*"was made by 64-bit Wine: a 32-bit test cannot run in it. Remove it"*)
      ok "a 32-bit test refuses a 64-bit prefix, saying what to do" ;;
    32:0:*"ran in $work/prefix32"*) ok "a 32-bit test runs in a 32-bit prefix" ;;
    *) fail "win$arch prefix: exit status $status, output: $output" ;;
  esac
done

# No way at all: no 32-bit Wine, apt cannot install it, no i386 root can be made (stand-ins
# for apt-get and debootstrap on PATH). Skipped, quoting apt, and the way says so.
mkdir -p "$work/bin" "$work/skip"
cat >"$work/bin/apt-get" <<'END'
#!/bin/sh
echo " wine32:i386 : Depends: libwine (= 8.0~repack-4) but it is not going to be installed"
echo "E: Unable to correct problems, you have held broken packages."
exit 100
END
printf '#!/bin/sh\necho "E: Failed getting release file http://deb.debian.org/debian/dists/bookworm/Release"\nexit 1\n' \
  >"$work/bin/debootstrap"
chmod +x "$work/bin/apt-get" "$work/bin/debootstrap"
output=$(PATH="$work/bin:$PATH" WINEPREFIX="$work/skip/prefix" \
  sh "$wine_dir/wine32.sh" start "$work/no-wine32" wine "$work/skip" "$work/skip/cache" 2>&1)
status=$?
way=$(cat "$work/skip/way" 2>/dev/null)
case "$status:$way" in
  "77:skipped: 32-bit Wine ($work/no-wine32) is not installed (apt-get install wine32:i386 says:"*"E: Unable to correct problems, you have held broken packages."*"no i386 root could be made"*"E: Failed getting release file"*)
    ok "no way at all: skipped, quoting apt and debootstrap" ;;
  *) fail "no way at all: exit status $status, way: $way; output: $output" ;;
esac
output=$(SLOTSCAN_WINE32_DIR="$work/skip" sh "$wine_dir/wine32.sh" run sh -c 'echo ran' 2>&1)
status=$?
[ "$status" -eq 77 ] && echo "$output" | grep -q "^SKIPPED: .*Unable to correct problems" &&
  ok "... and each test is skipped with that reason" || fail "a test after no way: $status, $output"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$passes" -gt 0 ]
