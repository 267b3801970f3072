#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs one file of the Python package's tests with pytest: run_pytest.sh PYTHON FILE.
# Ends with "N passed, M failed" from pytest's own report (errors count as failures).
# Exits 77 (skipped) when that interpreter has no pytest (Debian: python3-pytest), or
# when pytest skipped every test of the file.
set -eu
python=$1
file=$2
if ! "$python" -c 'import pytest' 2>/dev/null; then
  echo "skipped: $python has no pytest module (Debian: apt-get install python3-pytest)"
  exit 77
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
"$python" -m pytest -q -p no:cacheprovider --junitxml="$report" "$file" || status=$?
"$python" - "$report" <<'END' || status=$?
import sys
import xml.etree.ElementTree as ET

root = ET.parse(sys.argv[1]).getroot()
suite = root if root.tag == "testsuite" else root.find("testsuite")
tests, failures, errors, skipped = (
    int(suite.get(key, 0)) for key in ("tests", "failures", "errors", "skipped"))
if tests > 0 and skipped == tests:
    print(f"skipped: pytest skipped all {tests} tests")
    sys.exit(77)
print(f"{tests - failures - errors - skipped} passed, {failures + errors} failed")
END
exit "$status"
