#!/usr/bin/env bash
# Runs the real setup (build/win64/setup.exe) under wine64 on a virtual X
# display, in a throwaway Wine prefix with HOME in a temporary folder, through
# the driver's scenarios. Screenshots land in build/e2e/ as PNG files.
#
#   tests/e2e/run.sh [scenario...]     default: every scenario
#
# Needs the win64 preset built (setup.exe and e2e_driver.exe). Ends every Wine
# process and the X server it started, and removes the prefix.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/win64
out=$root/build/e2e
. "$root/tools/wine-env.sh"

scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(smoke run walk folder-refused read-only no-start-menu no-probe)

for file in "$build/setup.exe" "$build/e2e_driver.exe" "$build/payload/manifest.tsv"; do
  [ -f "$file" ] || { echo "missing $file: build the win64 preset first" >&2; exit 2; }
done

work=$(mktemp -d /tmp/setup-e2e.XXXXXX)
export WINEPREFIX=$work/prefix HOME=$work/home
mkdir -p "$HOME" "$out"
trap 'stop_wine; rm -rf "$work"' EXIT
start_xvfb

echo "preparing a Wine prefix in $work"
make_prefix desktop
notepad=$drive_c/windows/notepad.exe
cp "$notepad" "$work/notepad.exe"

# The setup runs from a bare folder of its own.
mkdir -p "$drive_c/setup"
cp "$build/setup.exe" "$drive_c/setup/setup.exe"

# Back to a fresh machine: no installation, the profile's Start Menu as
# Windows provides it (a link to the roaming one), the probe file in place.
reset_machine() {
  "$wineserver" -w
  chmod -R u+w "$drive_c/Veltrane" "$drive_c/Tools" 2>/dev/null || true
  rm -rf "$drive_c/Veltrane" "$drive_c/Tools" "$HOME/Gridmark.lnk" "$start_menu/Programs/Veltrane"
  link_start_menu
  cp "$work/notepad.exe" "$notepad"
}

prepare() {
  reset_machine
  case "$1" in
    walk) mkdir -p "$drive_c/Tools" ;;
    folder-refused) touch "$drive_c/Veltrane" ;;  # a file where the folder must go
    read-only)
      mkdir -p "$drive_c/Veltrane/Gridmark"
      echo "an older sample" > "$drive_c/Veltrane/Gridmark/Sample1.gmd"
      chmod a-w "$drive_c/Veltrane/Gridmark/Sample1.gmd"  # Wine's read-only attribute
      ;;
    no-start-menu) rm -f "$user_dir/Start Menu" ;;
    no-probe) rm -f "$notepad" ;;
  esac
}

failed=0
for scenario in "${scenarios[@]}"; do
  rm -f "$out/$scenario"-*.png
  prepare "$scenario"
  status=0
  "$wine" "$build/e2e_driver.exe" "$scenario" 'C:\setup\setup.exe' "$(winpath "$out")" \
    "$(winpath "$build/payload/manifest.tsv")" || status=$?
  [ "$status" -eq 0 ] || failed=$((failed + 1))
  for bmp in "$out/$scenario"-*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
done

echo "screenshots: $out"
if [ "$failed" -ne 0 ]; then
  echo "$failed scenario(s) failed" >&2
  exit 1
fi
echo "all ${#scenarios[@]} scenario(s) passed"
