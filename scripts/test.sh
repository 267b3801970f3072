#!/bin/sh
# Sets up, builds and runs the whole test suite (configure, build and test in one workflow).
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --workflow --preset default
