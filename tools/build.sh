#!/usr/bin/env bash
# Builds the three configurations: host (tests, tools, benchmarks), win32
# (the product, build/win32/setup.exe) and win64 (the same for wine64).
#   tools/build.sh [preset...]
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(host win32 win64)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
