#!/usr/bin/env bash
# Runs a Windows executable under Wine in a private prefix.
# Usage: wine-exec.sh PREFIX PROGRAM.exe [ARGS...]
# The prefix is created on first use; callers that run many programs keep
# one server alive with `wineserver -p` and end it with `wineserver -k`.
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
source "$(dirname "$0")/wine-loader.sh"
bash "$(dirname "$0")/wine-prefix.sh" "$prefix"
exec "$WINE64" "$@"
