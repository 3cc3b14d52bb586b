#!/usr/bin/env bash
# Every test, from a fresh Debian machine: installs what is needed, builds
# the three configurations, runs the unit tests, the checks of the built
# executables, the end-to-end runs under wine64, and each fuzz target for a
# minute from the corpus kept in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-machine.sh
tools/build.sh
ctest --preset host --output-on-failure
tests/lzari/fuzz/run.sh "${FUZZ_SECONDS:-60}"
echo "all tests passed"
