#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs a test that needs the machine to execute 32-bit x86 programs: here, or in an emulated
# PC, or reports it skipped.
# Some x86-64 kernels are built without 32-bit support: there the 32-bit Wine loader (any
# 32-bit program) fails with "Exec format error". The probe is such a program, run with
# --version. When it cannot start and SLOTSCAN_WINE32_PC names the emulated PC's runner
# (portvex/tests/vm/wine32_pc.sh), the command runs there; otherwise the test is skipped
# with the reason on one line. The first line of output says which way the test ran.
# usage: when_32bit_runs.sh PROBE COMMAND [ARGUMENT...]
set -u
probe=$1
shift
if [ ! -e "$probe" ]; then
  echo "FAIL: $probe not found: install 32-bit Wine with scripts/setup-win32.sh"
  exit 1
fi
if ! why=$("$probe" --version 2>&1 >/dev/null); then
  [ -n "${SLOTSCAN_WINE32_PC:-}" ] && exec sh "$SLOTSCAN_WINE32_PC" run "$@"
  # 77: the test's SKIP_RETURN_CODE.
  echo "SKIPPED: this machine cannot execute 32-bit x86 programs ($probe --version:" \
    "$(echo "$why" | head -n 1)); the 64-bit Windows tests cover the same code"
  exit 77
fi
echo "WINE32: ran natively (this machine executes 32-bit x86 programs)"
exec "$@"
