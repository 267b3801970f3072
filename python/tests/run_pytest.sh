#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs one file of the Python package's tests with pytest: run_pytest.sh PYTHON FILE.
# Exits 77 (skipped) when that interpreter has no pytest (Debian: python3-pytest).
set -eu
python=$1
file=$2
if ! "$python" -c 'import pytest' 2>/dev/null; then
  echo "skipped: $python has no pytest module (Debian: apt-get install python3-pytest)"
  exit 77
fi
exec "$python" -m pytest -q -p no:cacheprovider "$file"
