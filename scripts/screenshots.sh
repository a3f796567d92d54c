#!/usr/bin/env bash
# Writes PNG pictures of the user interface (the drawing components, the
# whole main window in both languages and the about window) to
# build/screenshots/, at 96 and 144 DPI, for a person to look at. Builds the
# Windows tree when needed and runs the pictures program under Wine on a
# private Xvfb display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target ui_screenshots

export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash scripts/wine-prefix.sh "$WINEPREFIX"
display=99
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=":$display"
sleep 0.5

out="$root/build/screenshots"
rm -rf "$out"
mkdir -p "$out"
for dpi in 96 144; do
  ZELMAR_UI_DPI=$dpi wine build/windows/tools/ui_screenshots.exe "Z:$out"
done
echo "screenshots: $(ls "$out" | wc -l) pictures in $out"
