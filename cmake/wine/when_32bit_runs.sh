#!/bin/sh
# Runs a test that needs the machine to execute 32-bit x86 programs, or reports it skipped.
# Some x86-64 kernels are built without 32-bit support: there the 32-bit Wine loader (any
# 32-bit program) fails with "Exec format error". The probe is such a program, run with
# --version; when it cannot start, the test is skipped with the reason on one line.
# usage: when_32bit_runs.sh PROBE COMMAND [ARGUMENT...]
set -u
probe=$1
shift
if [ ! -e "$probe" ]; then
  echo "FAIL: $probe not found: install 32-bit Wine with scripts/setup-win32.sh"
  exit 1
fi
if ! why=$("$probe" --version 2>&1 >/dev/null); then
  # 77: the test's SKIP_RETURN_CODE.
  echo "SKIPPED: this machine cannot execute 32-bit x86 programs ($probe --version:" \
    "$(echo "$why" | head -n 1)); the 64-bit Windows tests cover the same code"
  exit 77
fi
exec "$@"
