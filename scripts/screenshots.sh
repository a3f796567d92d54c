#!/usr/bin/env bash
# Writes PNG pictures of the user interface (the drawing components, the
# whole main window in both languages, in high contrast, the about window
# with its logo and a focused link, the simulator's scenarios and pages of
# the user guide) to build/screenshots/, at 96 and 144 DPI, for a person to
# look at. Builds the Windows tree when needed and runs the pictures program
# under Wine on a private Xvfb display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target ui_screenshots

source scripts/wine-display.sh
wine_environment "$root"
private_display
trap 'wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null || true' EXIT

out="$root/build/screenshots"
rm -rf "$out"
mkdir -p "$out"
for dpi in 96 144; do
  ZELMAR_UI_DPI=$dpi "$WINE64" build/windows/tools/ui_screenshots.exe "Z:$out"
done

# The real program's own layout pictures (ZELMAR_TEST_SHOT), recording from
# the simulated meter, with the View menu open, in both languages.
cmake --build --preset windows -j "$(nproc)" --target DMM5174K
# program_shot NAME LANGUAGE SCENARIO DELAY_MS [MENU]: the program recording
# at 1 s from the simulator, its layout picture after DELAY_MS, as NAME.png.
program_shot() {
  local name=$1 language=$2 scenario=$3 delay=$4 menu=${5:-}
  local data="$root/build/screenshot-data-$name"
  rm -rf "$data"
  mkdir -p "$data"
  printf '{"language": "%s"}\n' "$language" >"$data/settings.json"
  local shot="$out/$name"
  local menuHook=()
  [ -n "$menu" ] && menuHook=(ZELMAR_TEST_SHOT_MENU="$menu")
  env ZELMAR_TEST_METER="sim$scenario" ZELMAR_TEST_DATA_DIR="Z:${data//\//\\}" ZELMAR_TEST_AUTORECORD=1 \
    ZELMAR_TEST_INTERVAL=1 ZELMAR_TEST_SHOT="Z:${shot//\//\\}.bmp" ZELMAR_TEST_SHOT_DELAY_MS="$delay" "${menuHook[@]}" \
    ZELMAR_TEST_AUTOCLOSE_MS=$((delay + 1000)) "$WINE64" build/windows/program/DMM5174K.exe >/dev/null 2>&1
  bmp_to_png "$shot.bmp" "$shot.png"
  rm -rf "$shot.bmp" "$data"
}

bmp_to_png() { # in.bmp out.png
  python3 "$root/scripts/bmp_to_png.py" "$1" "$2" >/dev/null
}

for language in zh-TW en-US; do
  program_shot "program-$language-view-menu" "$language" "" 5000 view
done
# What the simulator's scenarios look like: a change of unit, a meter lost
# twice, overloads, and readings of five digits.
program_shot program-en-US-range en-US :range 24000
program_shot program-zh-TW-unplug zh-TW :unplug 22000
program_shot program-en-US-overload en-US :overload 9000
program_shot program-en-US-wide en-US :wide 4000

# Pages of the user guide in each language, as an HTML engine draws them
# (Wine's help viewer has none of its own).
bash scripts/setup.sh --screenshots
for page in index record access; do
  for language in zh en; do
    source_page="assets/help/topics/$page.htm"
    [ "$language" = en ] && source_page="assets/help/topics/en/$page.htm"
    QT_QPA_PLATFORM=offscreen wkhtmltoimage -q --enable-local-file-access --width 960 \
      "$source_page" "$out/help-$page-$language.png" >/dev/null 2>&1 \
      || echo "screenshots: the help page $source_page could not be drawn" >&2
  done
done

# dmm5174k plot of a recording of the simulator's changes of range, as PNG
# and as SVG (drawn to PNG by the same HTML engine).
cmake --preset linux >/dev/null
cmake --build --preset linux --target dmm5174k -j "$(nproc)" >/dev/null
plot_data=$(mktemp -d)
build/linux/src/app/dmm5174k log --simulate --interval 1 --count 40 --data-dir "$plot_data" \
  --save "$plot_data/plot.zmd" --quiet >/dev/null 2>&1 || true
if [ -f "$plot_data/plot.zmd" ]; then
  build/linux/src/app/dmm5174k plot "$plot_data/plot.zmd" -o "$plot_data/plot.png" --low 12.31 --high 12.365 --force
  python3 scripts/recompress_png.py "$plot_data/plot.png" "$out/plot-png.png"
  build/linux/src/app/dmm5174k plot "$plot_data/plot.zmd" -o "$out/plot.svg" --low 12.31 --high 12.365 --force
  QT_QPA_PLATFORM=offscreen wkhtmltoimage -q --enable-local-file-access --width 1000 --height 400 \
    "$out/plot.svg" "$plot_data/svg.png" >/dev/null 2>&1 || true
  [ -f "$plot_data/svg.png" ] && python3 scripts/recompress_png.py "$plot_data/svg.png" "$out/plot-svg.png"
else
  echo "screenshots: the simulated recording for plot failed" >&2
fi
rm -rf "$plot_data"

# The window on a 1920 x 1080 screen at 144 DPI: that run has a display and a
# Wine server of its own.
wineserver -k 2>/dev/null || true
kill "$xvfb_pid" 2>/dev/null || true
trap - EXIT
bash tests/e2e/small_screen.sh "$root" >/dev/null 2>&1 || echo "screenshots: the 1920 x 1080 run failed" >&2
cp build/e2e-small-screen/*.png "$out/" 2>/dev/null || true
echo "screenshots: $(ls "$out" | wc -l) pictures in $out"
