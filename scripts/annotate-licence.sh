#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT
#
# Labels every file git knows of that has no SPDX lines yet with the project's copyright
# and licence (MIT), in the comment style of its kind, so that `reuse lint` passes. This is
# the way to label new files: add them to git, run this, commit. Files that already carry
# SPDX lines are left as they are.
#
# Files that cannot hold a comment (images, the icon, JSON, debian/changelog,
# debian/copyright, debian/source/format, the empty py.typed marker, the default udev rule
# that `cardnum rule` prints byte for byte, the fuzz inputs as the targets read them) are not
# touched: .reuse/dep5 covers them, and a new file of such a kind needs a line there
# instead. The licence texts (LICENSE, its link python/LICENSE, LICENSES/) need no label.
set -eu
cd "$(dirname "$0")/.."
command -v reuse >/dev/null 2>&1 ||
  { echo "annotate-licence: reuse is not installed (Debian: apt-get install reuse)" >&2; exit 1; }

year=$(date +%Y)
holder="The Slotscan authors"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The tags are spelt in two halves so that reuse does not take them for this file's own.
licence_tag="SPDX-License""-Identifier"
copyright_tag="SPDX-File""CopyrightText"
git ls-files -z | xargs -0 grep -L -e "$licence_tag" -- 2>/dev/null |
  grep -v -x -e LICENSE -e '.*/LICENSE' -e 'LICENSES/.*' -e '\.reuse/dep5' \
    -e '.*\.png' -e '.*\.ico' -e '.*\.json' -e 'python/slotscan/py\.typed' \
    -e 'debian/changelog' -e 'debian/copyright' -e 'debian/source/format' \
    -e 'packaging/60-portvex.rules' -e 'fuzz/corpus/.*' >"$work/all" || true

# Sorts the files into one list per comment style; reuse is slow to start, so each list
# is labelled by one call.
: >"$work/c" ; : >"$work/cpp" ; : >"$work/html" ; : >"$work/man" ; : >"$work/hash"
while IFS= read -r file; do
  case "$file" in
    # The C interface and C programs: /* */, as the rest of those files.
    *.c | */include/slotscan.h | portvex/include/portvex.h) echo "$file" >>"$work/c" ;;
    # C++ and the Windows resource scripts: //.
    *.cpp | *.h | *.hpp | *.rc) echo "$file" >>"$work/cpp" ;;
    *.md) echo "$file" >>"$work/html" ;;
    # Manual pages: roff comments, for which reuse has no style.
    *.[1-8]) echo "$file" >>"$work/man" ;;
    # Everything else takes # comments: shell and CMake, TOML, Python, YAML, pkg-config and
    # CMake templates, desktop and systemd units, debhelper files, debian/rules and
    # debian/control, ignore and suppression lists. A #! line stays first.
    *) echo "$file" >>"$work/hash" ;;
  esac
done <"$work/all"

annotate() {
  list=$1
  shift
  [ -s "$list" ] || return 0
  tr '\n' '\0' <"$list" | xargs -0 reuse annotate --skip-existing --copyright "$holder" \
    --year "$year" --license MIT "$@" >/dev/null
}
annotate "$work/c" --style c --multi-line
annotate "$work/cpp" --style c --single-line
annotate "$work/html" --style html
annotate "$work/hash" --style python
while IFS= read -r page; do
  { printf '.\\" %s: %s %s\n.\\"\n' "$copyright_tag" "$year" "$holder"
    printf '.\\" %s: MIT\n' "$licence_tag"
    cat "$page"; } >"$work/page"
  cat "$work/page" >"$page"
done <"$work/man"
echo "Labelled $(wc -l <"$work/all") files."
