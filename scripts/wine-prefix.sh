#!/usr/bin/env bash
# Makes sure a private Wine prefix exists and draws like every other run:
# the interface's font faces, which Wine lacks, are mapped to packaged ones
# (DejaVu for Segoe UI and Consolas, WenQuanYi for Microsoft JhengHei UI,
# and for Chinese text in the system's menu and dialog fonts),
# and windows are not handed to a window manager: Xvfb runs none, and Wine
# would wait for one each time a framed window is shown or hidden.
# A prefix made with another Wine (its 32-bit half installed or removed
# since) is brought up to date first: Wine does not notice that by itself,
# and 64-bit programs then fail to load kernel32.dll.
# Usage: wine-prefix.sh PREFIX. Safe to run again and from several processes.
set -euo pipefail
prefix="$1"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
source "$(dirname "$0")/wine-loader.sh"
marker="$prefix/.zelmar-prefix-3"
fingerprint=$(wine_fingerprint)
[ -f "$marker" ] && [ "$(cat "$marker")" = "$fingerprint" ] && exit 0
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  [ -f "$marker" ] && [ "$(cat "$marker")" = "$fingerprint" ] && exit 0
  if [ ! -f "$prefix/system.reg" ]; then
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
  elif [ -f "$marker" ]; then
    rm -f "$prefix/.update-timestamp"
    "$WINE64" wineboot -u >/dev/null 2>&1 || true
  fi
  reg=$(mktemp --suffix=.reg)
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"Microsoft JhengHei UI"="WenQuanYi Micro Hei"
"Segoe UI"="DejaVu Sans"
"Consolas"="DejaVu Sans Mono"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"="wqy-microhei.ttc,WenQuanYi Micro Hei"
"DejaVu Sans"="wqy-microhei.ttc,WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
  "$WINE64" regedit /S "$reg" >/dev/null 2>&1
  rm -f "$reg"
  echo "$fingerprint" >"$marker"
) 9>"$prefix.lock"
