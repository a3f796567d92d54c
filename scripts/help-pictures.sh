#!/usr/bin/env bash
# Makes the user guide's pictures of the program from the screenshot tool's
# (scripts/screenshots.sh): the main window recording, under high contrast
# and with an alarm over the zoomed chart, in each language, at 96 DPI, into
# assets/help/topics/images/. Run it after a change to the window's look and
# commit the pictures with the change.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/screenshots.sh >/dev/null
shots="$root/build/screenshots"
images="$root/assets/help/topics/images"
mkdir -p "$images"
for language in zh en; do
  python3 scripts/recompress_png.py "$shots/main-recording-$language-96dpi.png" "$images/main-$language.png"
  python3 scripts/recompress_png.py "$shots/main-high-contrast-$language-96dpi.png" \
    "$images/main-high-contrast-$language.png"
  python3 scripts/recompress_png.py "$shots/main-alarm-zoomed-$language-96dpi.png" "$images/main-alarm-$language.png"
done
ls -l "$images"
