#!/usr/bin/env bash
# Sets up the machine, builds the Linux tree and runs the program's main job:
# a short logging session against the built-in meter simulator that saves a
# signed .zmd file and a CSV, then shows what the saved file holds.
# With arguments, runs dmm5174k with them instead (for example: log --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
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
