#!/usr/bin/env bash
# Installs everything the builds, the tests and the Wine runs use, on a
# Debian machine (12 "bookworm" or later). Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config            # host build
  googletest libgtest-dev libgmock-dev        # unit tests
  clang libclang-rt-dev                       # fuzzing (libFuzzer, sanitizers)
  libbenchmark-dev zlib1g-dev liblzma-dev gzip xz-utils wamerican  # benchmarks, peers, word list
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64  # the product
  wine wine64 fonts-wine xvfb x11-utils imagemagick  # running it for real
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
