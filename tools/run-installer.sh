#!/usr/bin/env bash
# Runs the setup as a person would, in a Wine prefix of its own under
# build/installer (HOME there too, so nothing touches your home folder).
# With a display, the wizard opens for you to click through. Without one, it
# runs headless on Xvfb through the whole installation and says where the
# screenshots and the installed files are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/setup-machine.sh
tools/build.sh win32 win64
. tools/wine-env.sh

run=$root/build/installer
rm -rf "$run"
mkdir -p "$run/home" "$run/screenshots"
export WINEPREFIX=$run/prefix HOME=$run/home
trap stop_wine EXIT

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "preparing a Wine prefix in $WINEPREFIX"
  make_prefix
  mkdir -p "$drive_c/setup" && cp build/win64/setup.exe "$drive_c/setup/"
  status=0
  "$wine" 'C:\setup\setup.exe' || status=$?
  "$wineserver" -w
  echo "setup.exe ended with exit code $status"
else
  start_xvfb
  echo "no display: running headless on Xvfb $DISPLAY"
  echo "preparing a Wine prefix in $WINEPREFIX"
  make_prefix desktop
  mkdir -p "$drive_c/setup" && cp build/win64/setup.exe "$drive_c/setup/"
  "$wine" build/win64/e2e_driver.exe run 'C:\setup\setup.exe' "$(winpath "$run/screenshots")" \
    "$(winpath "$root/build/win64/payload/manifest.tsv")"
  for bmp in "$run"/screenshots/*.bmp; do convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"; done
  echo "screenshots: $run/screenshots"
fi
echo "installed files: $drive_c/Veltrane/Gridmark (C:\\Veltrane\\Gridmark in the prefix)"
echo "shortcuts: $HOME/Gridmark.lnk (the profile's Desktop) and $start_menu/Programs/Veltrane/Gridmark.lnk"
