#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# scripts/setup-win32.sh against stand-ins for apt-get, dpkg, dpkg-query and sudo on PATH,
# which keep a list of what is "installed" and of every call, and never reach a registry:
#  - wine32:i386 cannot be installed and the first refresh fails: the setup refreshes
#    twice, installs the first layer in one call that waits for the lock and leaves out
#    wine32, tries wine32 in a call of its own, exits 0 and quotes apt's error;
#  - a package of the first layer cannot be installed: the setup fails, naming it;
#  - everything is installed already: no apt call at all.
# usage: setup_win32_layers.sh SOURCE_DIR
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passes=0 failures=0
ok() { echo "ok: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'END'
#!/bin/sh
echo "apt-get $*" >>"$STANDIN/calls"
for a in "$@"; do
  case "$a" in
    update)
      if [ -e "$STANDIN/update-fails-once" ]; then
        rm "$STANDIN/update-fails-once"
        echo "E: Failed to fetch http://security.debian.org/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (41232 != 41208). Mirror sync in progress? [IP: 151.101.2.132 80]" >&2
        exit 100
      fi
      exit 0 ;;
  esac
done
status=0
for a in "$@"; do
  case "$a" in -* | install | *=*) continue ;; esac
  if grep -qx "$a" "$STANDIN/broken"; then
    echo "Some packages could not be installed. This may mean that you have requested an impossible situation."
    echo " $a : Depends: libwine (= 8.0~repack-4) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    status=100
  fi
done
[ "$status" -eq 0 ] || exit "$status"
case " $* " in *" -s "*) exit 0 ;; esac
for a in "$@"; do
  case "$a" in -* | install | *=*) continue ;; esac
  echo "$a" >>"$STANDIN/installed"
done
END
cat >"$work/bin/dpkg-query" <<'END'
#!/bin/sh
for last in "$@"; do :; done
grep -qx "$last" "$STANDIN/installed" || exit 1
printf 'install ok installed'
END
cat >"$work/bin/dpkg" <<'END'
#!/bin/sh
echo "dpkg $*" >>"$STANDIN/calls"
case "$1" in
  --print-foreign-architectures) cat "$STANDIN/foreign" ;;
  --add-architecture) echo "$2" >>"$STANDIN/foreign" ;;
esac
END
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

# Runs the setup with the stand-ins: $1 the packages installed, $2 those apt cannot install.
setup() {
  export STANDIN="$work/$case"
  mkdir -p "$STANDIN"
  echo "$1" | tr ' ' '\n' >"$STANDIN/installed"
  echo "$2" | tr ' ' '\n' >"$STANDIN/broken"
  : >"$STANDIN/calls"
  : >"$STANDIN/foreign"
  touch "$STANDIN/update-fails-once"
  output=$(PATH="$work/bin:$PATH" SLOTSCAN_APT_RETRY_PAUSE=0 sh "$source_dir/scripts/setup-win32.sh" 2>&1)
  status=$?
  calls=$(cat "$STANDIN/calls")
}
shown() { printf '%s\nexit status %s; calls:\n%s' "$output" "$status" "$calls"; }

case=no-wine32
setup "" "wine32:i386"
[ "$status" -eq 0 ] && ok "$case: the setup succeeds without wine32" || fail "$case: $(shown)"
echo "$output" | grep -q "wine32:i386 cannot be installed.*i386 root" &&
  echo "$output" | grep -q "E: Unable to correct problems, you have held broken packages" &&
  ok "$case: says why, quoting apt" || fail "$case: no reason quoting apt: $(shown)"
[ "$(echo "$calls" | sed '/ install /q' | grep -c 'apt-get .* update')" = 2 ] && ok "$case: a failed refresh is tried once more" ||
  fail "$case: refreshes: $(shown)"
first=$(echo "$calls" | grep 'apt-get .* install .*g++-mingw-w64-i686')
case "$first" in
  *"-o DPkg::Lock::Timeout="*wine64*) ok "$case: the first layer in one call that waits for the lock" ;;
  *) fail "$case: first layer's call: $(shown)" ;;
esac
case "$first" in *wine32*) fail "$case: wine32 is in the first layer's call: $first" ;; esac
echo "$calls" | grep -q 'apt-get -o DPkg::Lock::Timeout=[0-9]* install .* wine32:i386$' &&
  ok "$case: wine32 in a call of its own" || fail "$case: no call of its own for wine32: $(shown)"
echo "$calls" | grep -qx 'dpkg --add-architecture i386' && ok "$case: the i386 architecture is added" ||
  fail "$case: i386 not added: $(shown)"

case=no-compiler
setup "" "g++-mingw-w64-i686"
[ "$status" -ne 0 ] && echo "$output" | grep -q "could not be installed: g++-mingw-w64-i686$" &&
  ok "$case: a missing package of the first layer fails the setup, named" || fail "$case: $(shown)"

case=all-installed
setup "$(sed -n '/^packages="/,/"$/p' "$source_dir/scripts/setup-win32.sh" | tr -d '"' | sed 's/^packages=//') wine32:i386" ""
[ "$status" -eq 0 ] && [ -z "$calls" ] && ok "$case: nothing to do, no apt call" || fail "$case: $(shown)"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$passes" -gt 0 ]
