#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test:
#   1. Linux (GCC), 2. Linux with ASan and UBSan, 3. Windows (MinGW-w64)
#   under Wine in a private prefix, with an Xvfb display for window tests.
# Exits non-zero when any build or test fails. Warnings are errors here.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh || exit 1
# Where this kernel runs 32-bit programs, the installer runs need Wine's
# 32-bit half; everything else runs with the 64-bit loader either way.
if bash scripts/probe-32bit.sh; then
  bash scripts/setup.sh --installer || exit 1
fi

jobs=$(nproc)
summary=()
status=0
passed_total=0
failed_total=0

run_build() { # preset [cmake options]
  local preset=$1
  shift
  echo "==> configure and build: $preset"
  cmake --preset "$preset" -DZELMAR_WERROR=ON "$@" >/dev/null || return 1
  cmake --build --preset "$preset" -j "$jobs" || return 1
}

run_ctest() { # preset
  local preset=$1 log
  log=$(mktemp)
  echo "==> test: $preset"
  ctest --preset "$preset" 2>&1 | tee "$log" | grep -v -E '^ +Start |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed'
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed' "$log" | tail -n 1)
  summary+=("$preset (CTest): ${line:-no result}")
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed_total=$((failed_total + BASH_REMATCH[1]))
    passed_total=$((passed_total + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    failed_total=$((failed_total + 1))
  fi
  rm -f "$log"
  return "$rc"
}

gtest_totals() { # results folder: counts test cases from GoogleTest's XML reports
  python3 - "$1" <<'PY'
import glob, sys, xml.etree.ElementTree as ET
tests = failures = skipped = 0
for path in glob.glob(sys.argv[1] + "/*.xml"):
    root = ET.parse(path).getroot()
    tests += int(root.get("tests", 0))
    failures += int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped += int(root.get("disabled", 0)) + int(root.get("skipped", 0))
print(f"{tests - failures - skipped} test cases passed, {failures} failed")
PY
}

source scripts/wine-display.sh

start_wine() {
  # The display comes first: Wine's desktop process, started with the
  # server below, binds to the display it finds then, and without one no
  # window can ever be created in this run.
  private_display
  wine_environment "$root" # quick when the prefix is ready
  wineserver -w
  # One server for the whole run: each later start of a program is fast.
  wineserver -p
  # Start Wine's own services now, detached from any pipe: started by the
  # first test, they would inherit its output pipe and CTest would wait on
  # it for as long as the server lives.
  "$WINE64" wineboot </dev/null >/dev/null 2>&1
}

run_e2e() { # script label: one end-to-end script, its passed and failed runs counted
  local log rc
  log=$(mktemp)
  bash "tests/e2e/$1" "$root" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  if [[ $(tail -n 1 "$log") =~ e2e:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
    passed_total=$((passed_total + BASH_REMATCH[1])); failed_total=$((failed_total + BASH_REMATCH[2]))
    summary+=("$2: ${BASH_REMATCH[1]} passed, ${BASH_REMATCH[2]} failed")
    local skipped
    skipped=$(grep -E '^installer runs skipped: ' "$log" | head -n 1)
    [ -n "$skipped" ] && summary+=("  $skipped")
  else
    failed_total=$((failed_total + 1)); summary+=("$2: no result")
  fi
  rm -f "$log"
  return "$rc"
}

stop_wine() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null || true
}

# The Linux and Windows runs leave signatures and .zmd files here for each
# other: each build must verify and open what the other one made.
export ZELMAR_CROSS_DIR="$root/build/cross"
rm -rf "$ZELMAR_CROSS_DIR"
mkdir -p "$ZELMAR_CROSS_DIR"

# The Linux and Windows trees are built without debug information here:
# nothing debugs them in this run, and it saves about a minute a tree on
# two cores. The sanitizer tree keeps it, for its reports.
no_debug_info=("-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG")

# 1. Linux
if run_build linux "${no_debug_info[@]}"; then run_ctest linux || status=1; else status=1; summary+=("linux: BUILD FAILED"); fi

# 2. Linux with sanitizers
# The benchmarks are built and timed in the other two trees; under the
# sanitizers their figures would mean nothing.
if run_build linux-asan -DZELMAR_BUILD_BENCHMARKS=OFF; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest linux-asan || status=1
else
  status=1; summary+=("linux-asan: BUILD FAILED")
fi

# 3. Windows under Wine
if run_build windows "${no_debug_info[@]}"; then
  rm -rf build/windows/test-results
  start_wine
  trap stop_wine EXIT
  ZELMAR_CROSS_REQUIRE=1 run_ctest windows || status=1
  run_e2e window_program.sh "windows end-to-end (DMM5174K.exe)" || status=1
  run_e2e update_program.sh "windows end-to-end update (DMM5174K.exe)" || status=1
  stop_wine
  trap - EXIT
  # With a screen of its own size, and so a Wine server of its own.
  run_e2e small_screen.sh "windows end-to-end on a 1920x1080 screen at 144 DPI" || status=1
  # The real installer, where this machine can run it (a run of its own too).
  run_e2e installer_program.sh "windows installer runs" || status=1
  summary+=("windows (GoogleTest cases): $(gtest_totals build/windows/test-results)")

  # 4. What the Windows run made, checked by the Linux build.
  echo "==> cross-build check: Linux verifies and opens what Windows made"
  if ZELMAR_CROSS_REQUIRE=1 build/linux/tests/security/security_tests --gtest_filter='CrossBackend.*' \
     && ZELMAR_CROSS_REQUIRE=1 build/linux/tests/storage/storage_tests --gtest_filter='ZmdFile.FilesOfTheOtherBuildOpen'; then
    summary+=("cross-build (Linux reads Windows output): passed"); passed_total=$((passed_total + 1))
  else
    summary+=("cross-build (Linux reads Windows output): FAILED"); failed_total=$((failed_total + 1)); status=1
  fi
else
  status=1; summary+=("windows: BUILD FAILED")
fi

echo
echo "==> summary"
for line in "${summary[@]}"; do echo "  $line"; done
[ "$status" -ne 0 ] && [ "$failed_total" -eq 0 ] && failed_total=1 # a build failed
echo "total: $passed_total passed, $failed_total failed"
exit "$status"
