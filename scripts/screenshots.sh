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

source scripts/wine-display.sh
wine_environment "$root"
private_display
trap 'wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null || true' EXIT

out="$root/build/screenshots"
rm -rf "$out"
mkdir -p "$out"
for dpi in 96 144; do
  ZELMAR_UI_DPI=$dpi wine build/windows/tools/ui_screenshots.exe "Z:$out"
done

# The real program's own layout pictures (ZELMAR_TEST_SHOT), recording from
# the simulated meter, with the View menu open, in both languages.
cmake --build --preset windows -j "$(nproc)" --target DMM5174K
for language in zh-TW en-US; do
  data="$root/build/screenshot-data-$language"
  rm -rf "$data"
  mkdir -p "$data"
  printf '{"language": "%s"}\n' "$language" >"$data/settings.json"
  shot="$out/program-$language-view-menu"
  ZELMAR_TEST_METER=sim ZELMAR_TEST_DATA_DIR="Z:${data//\//\\}" ZELMAR_TEST_AUTORECORD=1 ZELMAR_TEST_INTERVAL=1 \
    ZELMAR_TEST_SHOT="Z:${shot//\//\\}.bmp" ZELMAR_TEST_SHOT_DELAY_MS=5000 ZELMAR_TEST_SHOT_MENU=view \
    ZELMAR_TEST_AUTOCLOSE_MS=6000 wine build/windows/program/DMM5174K.exe >/dev/null 2>&1
  python3 - "$shot.bmp" "$shot.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
width, height = struct.unpack("<ii", data[18:26])
rows = []
for y in range(height):  # bottom-up BGRA rows to top-down RGB
    row = data[54 + (height - 1 - y) * width * 4: 54 + (height - y) * width * 4]
    rows.append(b"\0" + bytes(c for i in range(0, len(row), 4) for c in (row[i + 2], row[i + 1], row[i])))
chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
open(sys.argv[2], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                              + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))
PY
  rm -f "$shot.bmp"
done
echo "screenshots: $(ls "$out" | wc -l) pictures in $out"
