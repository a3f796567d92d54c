#!/usr/bin/env bash
# Renews the seed corpus in fuzz/corpus/ from the project's own encoders
# (build/linux must be built). The regression inputs in fuzz/regressions/
# are kept by hand: each is an input that once broke an invariant.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$root/build/linux" --target fuzz_make_seeds >/dev/null
rm -rf "$root/fuzz/corpus"
"$root/build/linux/fuzz/fuzz_make_seeds" "$root/fuzz/corpus"
