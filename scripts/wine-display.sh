# Sourced by the scripts that run Windows programs: the private Wine prefix
# inside the build tree, and a private Xvfb display.
#   wine_environment ROOT    exports WINEPREFIX and friends and WINE64 (the
#                            64-bit loader), makes the prefix
#   private_display [WxH]    starts Xvfb on a free display (2560x1600 unless
#                            given), exports DISPLAY and sets xvfb_pid (the
#                            caller stops it)

wine_environment() {
  export WINEPREFIX="$1/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  source "$1/scripts/wine-loader.sh"
  bash "$1/scripts/wine-prefix.sh" "$WINEPREFIX"
}

private_display() {
  local display=99
  while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "${1:-2560x1600}x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done
}
