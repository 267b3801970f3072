#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Builds the fuzz preset and runs every fuzz target (fuzz/README.md) for SECONDS each
# (default 60), one after the other, at low priority. Each run starts from the corpus in
# the repository (fuzz/corpus/, with the bundled racks and the tests' racks as seeds) and
# keeps what it finds in build/fuzz/corpus-found/, so that later soaks go on from there.
# Prints, per target, the executions, executions per second, coverage (edges, features)
# and faults, and fails when any target crashes, leaks, reports undefined behaviour, hangs
# or breaks one of its properties; the input that did it is kept in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS]
#   FUZZ_TARGETS="rack_reader writers" scripts/fuzz.sh 600     only these targets
set -eu
cd "$(dirname "$0")/.."

seconds=${1:-60}
case "$seconds" in
  '' | *[!0-9]*)
    echo "usage: $0 [SECONDS]   (seconds per target, default 60)" >&2
    exit 2
    ;;
esac

# target: dictionary, then corpus folders beyond fuzz/corpus/<corpus>
targets=${FUZZ_TARGETS:-"rack_reader eeprom_image card_arguments sysfs_files writers lspci_capture"}
corpus_of() {
  case "$1" in
    rack_reader | writers) echo rack ;;
    *) echo "$1" ;;
  esac
}
dictionary_of() {
  case "$1" in
    rack_reader | writers) echo fuzz/rack.dict ;;
    *) echo "" ;;
  esac
}
seeds_of() {
  case "$1" in
    rack_reader | writers) echo "examples/racks tools/cardnum/tests/racks python/tests/racks" ;;
    lspci_capture) echo tools/cardnum/tests/dumps ;;
    *) echo "" ;;
  esac
}

# The dictionary holds every key the rack reader knows.
for key in $(sed -n '/constexpr std::string_view k[A-Za-z]*Keys\[\] = {/,/};/p' simpc/src/rack.cpp |
  grep -o '"[a-z0-9_]*"' | tr -d '"'); do
  grep -q "^key_$key=\"$key\"\$" fuzz/rack.dict ||
    { echo "fuzz/rack.dict lacks the rack key '$key'" >&2; exit 1; }
done

cmake --preset fuzz >/dev/null
nice cmake --build --preset fuzz

build=build/fuzz
mkdir -p "$build/logs"
# The targets write each input to files in a scratch folder: in memory where there is room.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=/dev/shm
  export TMPDIR
fi
failed=0
summary=""
for target in $targets; do
  corpus=$(corpus_of "$target")
  found="$build/corpus-found/$target"
  artifacts="$build/artifacts/$target"
  log="$build/logs/$target.log"
  rm -rf "$artifacts"
  mkdir -p "$found" "$artifacts"
  dict=$(dictionary_of "$target")
  set -- -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/"
  [ -n "$dict" ] && set -- "$@" -dict="$dict"
  # shellcheck disable=SC2046
  set -- "$@" "$found" "fuzz/corpus/$corpus" $(seeds_of "$target")
  status=0
  echo "fuzz: $target for ${seconds} s"
  nice "$build/fuzz/fuzz_$target" "$@" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1 | awk '{ print $2 " edges, " $4 " features" }')
  faults=$(find "$artifacts" -type f | wc -l)
  verdict=ok
  if [ "$status" -ne 0 ]; then
    failed=1
    verdict="FAILED (exit $status)"
    echo "--- $target: the end of $log"
    tail -n 40 "$log"
  fi
  summary="$summary$(printf '%-15s %12s %9s  %-28s %6s  %s' "$target" "${runs:-?}" "${speed:-?}" \
    "${coverage:-?}" "$faults" "$verdict")
"
done

echo
printf '%-15s %12s %9s  %-28s %6s  %s\n' TARGET EXECUTIONS EXECS/S COVERAGE FAULTS RESULT
printf '%s' "$summary"
[ "$failed" -eq 0 ] || { echo "fuzz: a target failed; its input is in $build/artifacts/" >&2; exit 1; }
echo "fuzz: every target ran ${seconds} s without a fault"
