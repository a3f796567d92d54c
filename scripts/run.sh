#!/usr/bin/env bash
# Sets up the machine, builds the Linux tree and runs the program's main job:
# a short logging session against the built-in meter simulator that saves a
# signed .zmd file and a CSV, then shows what the saved file holds.
# With arguments, runs dmm5174k with them instead (for example: log --help);
# with "gui", the Windows program under Wine against the simulated meter.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${1:-}" = "gui" ]; then
  # The Windows program under Wine on this machine's display (or a private
  # Xvfb display when there is none), against the simulated meter. Its data
  # directory is build/gui-data; its diagnostic lines go to build/gui-log.txt.
  shift
  bash scripts/setup.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$(nproc)" --target DMM5174K
  source scripts/wine-display.sh
  wine_environment "$root"
  if [ -z "${DISPLAY:-}" ]; then
    private_display
    trap 'wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null || true' EXIT
    echo "no DISPLAY: the program runs on the private display $DISPLAY"
  fi
  mkdir -p build/gui-data
  echo "==> DMM5174K.exe (simulated meter; log in build/gui-log.txt)"
  ZELMAR_TEST_METER="${ZELMAR_TEST_METER:-sim}" ZELMAR_TEST_DATA_DIR="Z:${root//\//\\}\\build\\gui-data" \
    ZELMAR_TEST_LOG_FILE="Z:${root//\//\\}\\build\\gui-log.txt" \
    "$WINE64" build/windows/program/DMM5174K.exe "$@"
  exit $?
fi
bash scripts/setup.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target dmm5174k
tool=build/linux/src/app/dmm5174k
if [ $# -gt 0 ]; then
  exec "$tool" "$@"
fi
out=build/demo
rm -rf "$out"
mkdir -p "$out"
echo "==> recording 5 samples, one a second, from the simulated meter"
"$tool" log --simulate --interval 1 --count 5 --data-dir "$out/data" \
  --save "$out/demo.zmd" --csv "$out/demo.csv" 2>"$out/log.txt"
echo "==> dmm5174k info $out/demo.zmd"
"$tool" info "$out/demo.zmd"
echo "==> dmm5174k verify $out/demo.zmd"
"$tool" verify "$out/demo.zmd"
echo "==> $out/demo.csv"
cat "$out/demo.csv"
