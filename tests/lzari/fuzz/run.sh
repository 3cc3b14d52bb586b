#!/bin/sh
# Builds the LZARI fuzz targets with clang's libFuzzer, ASan and UBSan into
# build/fuzz and runs each for the given number of seconds (default 60),
# starting from a temporary copy of the seed corpus so that nothing new is
# written into the repository. A crash leaves its input in build/fuzz.
#   tests/lzari/fuzz/run.sh [seconds]
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$root/build/fuzz
mkdir -p "$out"

flags="-std=c++17 -g -O2 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
includes="-I$root/src -I$root/tests/host -I$root/tests/lzari"
sources="$root/src/payload/lzari.cpp $root/tests/lzari/reference_lzari.cpp"
for target in decode roundtrip; do
  clang++ $flags $includes "$here/${target}_fuzz.cpp" $sources -o "$out/${target}_fuzz"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in decode roundtrip; do
  cp -r "$here/corpus/$target" "$work/$target"
  echo "== ${target}_fuzz for ${seconds}s"
  (cd "$out" && "./${target}_fuzz" -max_total_time="$seconds" -max_len=16384 \
      -timeout=20 -print_final_stats=1 "$work/$target") || status=1
done
exit $status
