#!/usr/bin/env bash
# The real DMM5174K.exe on a 1920 × 1080 screen at 150 % (144 DPI), where
# its usual minimum size (960 × 720 at 96 DPI) would be taller than the
# screen: a new window and a placement saved on a larger screen both fit.
# Starts its own Xvfb of that size and its own Wine server on it (Wine's
# desktop binds to the display it first meets), so scripts/test.sh runs it
# after the other Windows runs have ended theirs.
#   small_screen.sh ROOT [SCENARIO...]   (function names; all when none)
set -uo pipefail
root=$1
shift
only=("$@")
program="$root/build/windows/program/DMM5174K.exe"
work="$root/build/e2e-small-screen"
rm -rf "$work"
mkdir -p "$work"

source "$(dirname "$0")/lib.sh"
source "$root/scripts/wine-display.sh"

# The saved placement, checked against the screen: x y width height.
placement_fits() { # settings.json
  python3 - "$1" <<'PY'
import json, sys
p = json.load(open(sys.argv[1], encoding="utf-8"))["windowPlacement"]
assert p["x"] >= 0 and p["y"] >= 0, p
assert p["x"] + p["width"] <= 1920 and p["y"] + p["height"] <= 1080, p
PY
}

# The layout picture's height (the client area), and the picture as a PNG.
picture_height() { # bmp png
  python3 "$root/scripts/bmp_to_png.py" "$1" "$2"
}

# 1. A first start: the window is made to fit, recording, and closes with a
#    placement inside the screen.
first_start_fits() {
  local d="$work/first"
  mkdir -p "$d/data"
  printf '{"language": "en-US"}\n' >"$d/data/settings.json"
  run_program "$d/log.txt" ZELMAR_UI_DPI=144 ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_AUTORECORD=1 \
    ZELMAR_TEST_INTERVAL=1 ZELMAR_TEST_SHOT="$(winpath "$d/window.bmp")" ZELMAR_TEST_SHOT_DELAY_MS=3000 \
    ZELMAR_TEST_AUTOCLOSE_MS=4000
  expect_log "$d/log.txt" "[DMMApp] 測試 hook：版面擷圖已輸出：" "[DMMApp] 結束，代碼 0"
  placement_fits "$d/data/settings.json" >"$d/check.txt" 2>&1 || fail "placement: $(cat "$d/check.txt")"
  local height
  height=$(picture_height "$d/window.bmp" "$work/window-1920x1080-144dpi.png")
  [ "${height:-9999}" -lt 1080 ] || fail "the client area is ${height:-no} pixels tall on a 1080-pixel screen"
}

# 2. A placement saved on a larger screen (its status bar would be at
#    y 1110-1141 here) is moved and shrunk into the screen.
saved_placement_fits() {
  local d="$work/saved"
  mkdir -p "$d/data"
  printf '{"language": "zh-TW", "windowPlacement": {"x": 100, "y": 200, "width": 1450, "height": 1146, "isMaximized": false}}\n' \
    >"$d/data/settings.json"
  run_program "$d/log.txt" ZELMAR_UI_DPI=144 ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" \
    ZELMAR_TEST_SHOT="$(winpath "$d/window.bmp")" ZELMAR_TEST_SHOT_DELAY_MS=800 ZELMAR_TEST_AUTOCLOSE_MS=2000
  expect_log "$d/log.txt" "[DMMApp] 結束，代碼 0"
  placement_fits "$d/data/settings.json" >"$d/check.txt" 2>&1 || fail "placement: $(cat "$d/check.txt")"
  local height
  height=$(picture_height "$d/window.bmp" "$work/window-1920x1080-144dpi-zh.png")
  [ "${height:-9999}" -lt 1080 ] || fail "the client area is ${height:-no} pixels tall"
}

echo "==> DMM5174K.exe on a 1920 × 1080 screen at 144 DPI"
if [ ! -f "$program" ]; then
  echo "  [FAIL] the program is not built"
  echo "e2e: 0 passed, 1 failed"
  exit 1
fi
private_display 1920x1080
wine_environment "$root"
# A server still alive from an earlier run is bound to another display.
wineserver -k 2>/dev/null || true
wineserver -p
"$WINE64" wineboot </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null; kill "$xvfb_pid" 2>/dev/null' EXIT
scenario "a first start fits the screen" first_start_fits
scenario "a placement from a larger screen fits" saved_placement_fits
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
