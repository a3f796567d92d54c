#!/usr/bin/env bash
# Sets up the machine, builds the Linux tree and runs the program's main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
if [ -x build/linux/src/app/dmm5174k ]; then
  exec build/linux/src/app/dmm5174k "$@"
fi
echo "Built. The command-line logger is not part of this tree yet; run scripts/test.sh for the tests."
