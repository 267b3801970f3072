#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Builds the fuzz preset and runs every fuzz target (fuzz/README.md) for SECONDS each
# (default 60), at low priority, as many at a time as there are cores (FUZZ_JOBS to change
# that). Each run starts from the corpus in the repository (fuzz/corpus/, with the bundled
# racks and the tests' racks as seeds) and keeps what it finds in build/fuzz/corpus-found/,
# so that later soaks go on from there.
# Prints, per target, the executions, executions per second, coverage (edges, features)
# and faults, and fails when any target crashes, leaks, reports undefined behaviour, hangs
# or breaks one of its properties; the input that did it is kept in build/fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS]
#   FUZZ_TARGETS="rack_reader writers" scripts/fuzz.sh 600     only these targets
#   FUZZ_JOBS=1 scripts/fuzz.sh 600                             one target at a time
set -eu
cd "$(dirname "$0")/.."

seconds=${1:-60}
case "$seconds" in
  '' | *[!0-9]*)
    echo "usage: $0 [SECONDS]   (seconds per target, default 60)" >&2
    exit 2
    ;;
esac
jobs=${FUZZ_JOBS:-$(nproc)}
case "$jobs" in
  '' | 0 | *[!0-9]*)
    echo "$0: FUZZ_JOBS must be a whole number of targets to run at a time, 1 or more" >&2
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
# Runs one target; its summary row goes to logs/TARGET.row, and the status is the target's.
run_target() {
  target=$1
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
    verdict="FAILED (exit $status)"
    echo "--- $target: the end of $log"
    tail -n 40 "$log"
  fi
  printf '%-15s %12s %9s  %-28s %6s  %s\n' "$target" "${runs:-?}" "${speed:-?}" \
    "${coverage:-?}" "$faults" "$verdict" >"$build/logs/$target.row"
  return "$status"
}

# The targets are dealt out to JOBS lanes, each running its share one after the other.
rm -f "$build"/logs/*.row
failed=0
lane=0
pids=""
while [ "$lane" -lt "$jobs" ]; do
  (
    lane_failed=0
    index=0
    for target in $targets; do
      [ $((index % jobs)) -eq "$lane" ] && { run_target "$target" || lane_failed=1; }
      index=$((index + 1))
    done
    exit "$lane_failed"
  ) &
  pids="$pids $!"
  lane=$((lane + 1))
done
for pid in $pids; do
  wait "$pid" || failed=1
done

echo
printf '%-15s %12s %9s  %-28s %6s  %s\n' TARGET EXECUTIONS EXECS/S COVERAGE FAULTS RESULT
for target in $targets; do
  cat "$build/logs/$target.row" 2>/dev/null || printf '%-15s  did not report\n' "$target"
done
[ "$failed" -eq 0 ] || { echo "fuzz: a target failed; its input is in $build/artifacts/" >&2; exit 1; }
echo "fuzz: every target ran ${seconds} s without a fault"
