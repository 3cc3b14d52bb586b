#!/bin/bash
# Whole-process decode comparison: `lzari decode` against `gzip -d` on the
# same files, one process per file as a user would run them, both writing to
# /dev/null. Prints the CPU seconds (user + system) of each tool over all
# files, best of RUNS rounds taken in alternation, and the speed ratio.
#
#   tools/bench/compare.sh [LZARI] [RUNS] [FILE ...]
#
# LZARI defaults to build/host/lzari, RUNS to 5, the files to the benchmark's
# Debian set (lzari_bench --list).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
lzari=${1:-$root/build/host/lzari}
runs=${2:-5}
shift $(($# < 2 ? $# : 2))
if [ $# -eq 0 ]; then
  mapfile -t files < <("$root/build/host/lzari_bench" --list)
else
  files=("$@")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
total=0
for f in "${files[@]}"; do
  name=$(basename "$f")
  "$lzari" encode "$f" "$work/$name.lzr"
  gzip -6 -c "$f" > "$work/$name.gz"
  total=$((total + $(stat -L -c %s "$f")))
done

# CPU seconds (user + system) of one round of a tool over all files.
round() {
  local TIMEFORMAT='%3U %3S'
  local times
  if [ "$1" = lzari ]; then
    times=$( { time (for c in "$work"/*.lzr; do "$lzari" decode "$c" /dev/null; done) ; } 2>&1 )
  else
    times=$( { time (for c in "$work"/*.gz; do gzip -d -c "$c" > /dev/null; done) ; } 2>&1 )
  fi
  awk '{ printf "%d", ($1 + $2) * 1000 }' <<< "$times"
}

best_lzari=999999999
best_gzip=999999999
for ((k = 0; k < runs; k++)); do
  t=$(round lzari); [ "$t" -lt "$best_lzari" ] && best_lzari=$t
  t=$(round gzip); [ "$t" -lt "$best_gzip" ] && best_gzip=$t
done
awk -v l="$best_lzari" -v g="$best_gzip" -v n="${#files[@]}" -v bytes="$total" 'BEGIN {
  printf "%d files, %d bytes; CPU seconds of the decoding processes, best of rounds\n", n, bytes
  printf "lzari decode: %.3f s (%.1f MB/s)\n", l / 1000, bytes / (l / 1000) / 1e6
  printf "gzip -d:      %.3f s (%.1f MB/s)\n", g / 1000, bytes / (g / 1000) / 1e6
  printf "lzari speed / gzip -d speed: %.0f%%\n", 100 * g / l
}'
