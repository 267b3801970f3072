#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Sets up, builds and runs the whole test suite (configure, build and test in one workflow).
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --workflow --preset default
