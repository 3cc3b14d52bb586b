# Shared by the installer run and the end-to-end tests (source it): a virtual
# X display and a Wine prefix laid out as Windows lays out a user's profile.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# Starts Xvfb on a display number nobody uses; sets DISPLAY and xvfb_pid.
start_xvfb() {
  local display=90
  while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
  export DISPLAY=:$display
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && return 0; sleep 0.1; done
}

# Makes the prefix in $WINEPREFIX. With "desktop", Wine's own desktop window
# draws caption bars and close boxes where no window manager runs. Sets
# drive_c, user_dir and start_menu.
make_prefix() {
  # No Mono or Gecko installer prompts while the prefix is made.
  export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
  "$wine" wineboot -i >/dev/null 2>&1
  if [ "${1:-}" = desktop ]; then
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  fi
  "$wineserver" -w
  drive_c=$WINEPREFIX/drive_c
  # The caption glyphs (the close box) come from Marlett.
  cp /usr/share/wine/fonts/marlett.ttf "$drive_c/windows/Fonts/" 2>/dev/null || true
  user_dir=$(find "$drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
  start_menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu"
  link_start_menu
}

# Windows keeps a junction "Start Menu" in the profile that leads to the
# roaming Start Menu; Wine has none.
link_start_menu() { ln -sfn "AppData/Roaming/Microsoft/Windows/Start Menu" "$user_dir/Start Menu"; }

winpath() { echo "Z:${1//\//\\}"; }

stop_wine() {
  "$wineserver" -k >/dev/null 2>&1 || true
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
