#!/usr/bin/env bash
# Fuzzes the project's parsers of untrusted bytes with libFuzzer, under the
# address and undefined-behaviour sanitizers.
#   bash scripts/fuzz.sh                 every target for 60 s
#   bash scripts/fuzz.sh TARGET [SECONDS]
# Targets: journal_line zmd_payload zmd_open settings meter_report launch
# version_resource update_manifest (fuzz/*_fuzz.cpp). Each run starts from
# the seed corpus and the regression inputs and keeps what it learns in
# build/fuzz/corpus/TARGET; an input that breaks something is written to
# build/fuzz/crashes/TARGET/ and the run fails. Installs clang 16, libc++
# and libFuzzer from Debian's archive when they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=(journal_line zmd_payload zmd_open settings meter_report launch version_resource update_manifest)
seconds=${2:-60}
if [ $# -ge 1 ]; then
  [[ " ${targets[*]} " == *" $1 "* ]] || { echo "fuzz.sh: unknown target $1 (${targets[*]})" >&2; exit 2; }
  targets=("$1")
fi

bash scripts/setup.sh --linux
packages=(clang-16 libc++-16-dev libc++abi-16-dev libclang-rt-16-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "fuzz.sh: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# clang with libc++ (std::expected), the stand-in for its missing
# floating-point from_chars, both sanitizers and coverage in every source;
# libFuzzer's own runtime is built against GCC's libstdc++, linked beside.
tree=build/fuzz/tree
flags="-stdlib=libc++ -include $root/fuzz/from_chars_shim.h -fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -g -O1"
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="-fsanitize=address,undefined -g -O1" \
  -DCMAKE_EXE_LINKER_FLAGS="-stdlib=libc++ -fsanitize=address,undefined" \
  -DZELMAR_BUILD_TESTS=OFF -DZELMAR_BUILD_BENCHMARKS=OFF -DZELMAR_FUZZ_ENGINE=libfuzzer >/dev/null
cmake --build "$tree" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

status=0
for target in "${targets[@]}"; do
  corpus="build/fuzz/corpus/$target"
  crashes="build/fuzz/crashes/$target"
  mkdir -p "$corpus" "$crashes"
  seeds=()
  for kind in corpus regressions; do
    [ -d "fuzz/$kind/$target" ] && seeds+=("fuzz/$kind/$target")
  done
  echo "==> $target for $seconds s"
  log="build/fuzz/$target.log"
  if "$tree/fuzz/fuzz_$target" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
    -print_final_stats=1 >"$log" 2>&1; then
    # Executions and coverage of the run.
    echo "    $(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1), $(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log")"
  else
    status=1
    echo "    FOUND SOMETHING: see $log and $crashes"
    tail -n 20 "$log" | sed 's/^/    /'
  fi
done
exit $status
