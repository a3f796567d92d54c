# Helpers of the end-to-end scripts (sourced): runs of the program under
# Wine with its diagnostic log in a file, checks of that log, and the
# per-scenario verdicts. The sourcing script sets $program beforehand.

[ -n "${only+x}" ] || only=() # the scenarios to run; all when empty
# The 64-bit loader (scripts/wine-loader.sh): plain wine may be the 32-bit one.
wine64=${WINE64:-wine}
passed=0
failed=0
current=""
problems=()

winpath() { # a Linux path as the program sees it
  echo "Z:${1//\//\\}"
}

fail() {
  problems+=("$current: $*")
}

expect_log() { # log text...: every text appears in the log
  local log=$1
  shift
  for text in "$@"; do
    grep -qF -- "$text" "$log" || fail "log lacks \"$text\""
  done
}

expect_no_log() {
  local log=$1
  shift
  for text in "$@"; do
    ! grep -qF -- "$text" "$log" || fail "log has \"$text\""
  done
}

# start_program LOG [VAR=value...] [-- arguments]: one run in the
# background; its process id is in $started.
start_program() {
  local log=$1
  shift
  local vars=() args=()
  while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then shift; args=("$@"); break; fi
    vars+=("$1")
    shift
  done
  env ZELMAR_TEST_LOG_FILE="$(winpath "$log")" ZELMAR_TEST_METER=sim "${vars[@]}" \
    timeout 120 "$wine64" "$program" "${args[@]}" >/dev/null 2>"${log%.txt}.wine.txt" &
  started=$!
}

# kill_program PID: ends the program started as PID at once, as a crash would
# (only that process: timeout's child is the program itself).
kill_program() {
  pkill -KILL -P "$1" || fail "nothing to kill"
  { wait "$1"; } 2>/dev/null
}

# run_program LOG [VAR=value...] [-- arguments]: one run in the foreground;
# its exit code is the program's. A run that leaves no log line at all never
# reached the program (Wine did not start it): it is started once more, and
# what Wine said is shown.
run_program() {
  local log=$1 code
  start_program "$@"
  wait "$started"
  code=$?
  if [ ! -s "$log" ]; then
    echo "         note: $current: no log from a run (exit $code); Wine said: $(head -c 400 "${log%.txt}.wine.txt" 2>/dev/null | tr '\n' ' ')"
    sleep 1
    start_program "$@"
    wait "$started"
    code=$?
    [ -s "$log" ] || fail "the program did not start twice (exit $code): $(head -c 400 "${log%.txt}.wine.txt" 2>/dev/null | tr '\n' ' ')"
  fi
  return "$code"
}

# True when no instance of the program is left (a run just ended may take a
# moment to be gone, and a new one would then find the first still there).
program_gone() {
  ! pgrep -f 'DMM5174K\.exe' >/dev/null
}

wait_for() { # seconds command...: until the command succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# close_until_logged LOG TEXT: the shell's close (WM_CLOSE to every window
# of the program) once, then true when the log has the text. Used with
# wait_for, it repeats the close until the text appears.
close_until_logged() {
  timeout 60 "$wine64" taskkill /IM DMM5174K.exe >/dev/null 2>&1
  sleep 0.5
  grep -qsF "$2" "$1"
}

journal_lines() { # data directory
  if [ -f "$1/temp/current.jsonl" ]; then grep -c . "$1/temp/current.jsonl"; else echo 0; fi
}

journal_has() { # data directory, lines
  [ "$(journal_lines "$1")" -ge "$2" ]
}

scenario() { # name function: skipped when the caller named other functions only
  if [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $2 "* ]]; then return; fi
  current=$1
  local before=${#problems[@]}
  local start=$SECONDS
  "$2"
  if [ ${#problems[@]} -eq "$before" ]; then
    passed=$((passed + 1))
    echo "  [pass] $1 ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    echo "  [FAIL] $1 ($((SECONDS - start)) s)"
    for p in "${problems[@]:$before}"; do echo "         $p"; done
  fi
}

