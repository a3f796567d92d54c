#!/usr/bin/env bash
# End-to-end runs of the online update of the real DMM5174K.exe under Wine
# and Xvfb, against an update server on loopback that serves manifests
# signed with the development update key (and one signed with a stranger's
# key). The program runs from an "installation": a copy of its folder named
# by the uninstall registration, per user or machine-wide. What it starts
# as the installer is installer_recorder.exe, which writes down the command
# line and folder it was given. scripts/test.sh runs this with Wine and a
# display ready; it prints one line per run and a total.
#   update_program.sh ROOT
set -uo pipefail
root=$1
built="$root/build/windows/program"
recorder="$root/build/windows/tests/installer_recorder.exe"
publish="$root/build/linux/tools/dmm5174k-publish"
keygen="$root/build/linux/tools/dmm5174k-keygen"
dev_key="$root/tests/fixtures/update-dev-key.private.hex"
work="$root/build/e2e-update"
# The running version, one newer and one older.
running_version=$(sed -n 's/^  VERSION \([0-9]*\.[0-9]*\.[0-9]*\)$/\1/p' "$root/CMakeLists.txt" | head -n 1)
newer="${running_version%.*}.$((${running_version##*.} + 1))"
older="0.0.0"
rm -rf "$work"
mkdir -p "$work/www"

source "$(dirname "$0")/lib.sh"

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\{6B2F1E0A-5174-4D2A-9E1C-0D3E5174E429}_is1'
params="/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1"

registration() { # hive [location]: writes or (without a location) removes the registration
  if [ $# -gt 1 ]; then
    "$wine64" reg add "$1\\$uninstall_key" /v InstallLocation /t REG_SZ /d "$2" /f >/dev/null 2>&1
  else
    "$wine64" reg delete "$1\\$uninstall_key" /f >/dev/null 2>&1 || true
  fi
}

install_copy() { # folder: the program laid out there as installed
  mkdir -p "$1"
  cp -r "$built"/. "$1"/
  program="$1/DMM5174K.exe"
}

# manifest NAME VERSION URL [size+N|sha=X|mandatory|key=FILE]...: a signed
# manifest offering VERSION with the stand-in installer's size and hash.
manifest() {
  local name=$1 version=$2 url=$3
  shift 3
  local size sha mandatory=false key=$dev_key
  size=$(stat -c %s "$work/www/setup.exe")
  sha=$(sha256sum "$work/www/setup.exe" | cut -d' ' -f1)
  for change in "$@"; do
    case $change in
      size+*) size=$((size + ${change#size+})) ;;
      sha=*) sha=${change#sha=} ;;
      mandatory) mandatory=true ;;
      key=*) key=${change#key=} ;;
    esac
  done
  cat >"$work/$name.description.json" <<JSON
{"name":"ZELMAR DMM-5174K","latest":"$version","versions":[{"version":"$version","channel":"stable",
 "release_date":"2026-12-01","mandatory":$mandatory,"notes":{"en-US":"Test release."},
 "url":"$url","size":$size,"sha256":"$sha"}]}
JSON
  "$publish" "$work/$name.description.json" "$key" UPD-1 "$work/www/$name.json" || fail "publishing $name failed"
}

requests_of() { # text: how many requests asked for a path containing it
  if [ -f "$work/requests.txt" ]; then grep -cF -- "$1" "$work/requests.txt" || true; else echo 0; fi
}

updates_left() { # data directory: the files in its updates folder
  ls -A "$1/updates" 2>/dev/null | tr '\n' ' '
}

close_program() { # log pid: WM_CLOSE, as the shell's close would, then its end
  timeout 60 "$wine64" taskkill /IM DMM5174K.exe >/dev/null 2>&1
  wait_for 60 grep -qsF "結束，代碼 0" "$1" || fail "it did not close with 0"
  { wait "$2"; } 2>/dev/null
}

install_run() { # directory manifest: a run of the install hook that ends by itself
  local d=$1
  manifest "$2" "$newer" "$base/setup.exe"
  run_program "$d/log.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_UPDATE=install \
    ZELMAR_UPDATE_URL="$base/$2.json" ZELMAR_E2E_INSTALLER_RECORD="$(winpath "$d/record.txt")"
  local code=$?
  [ $code -eq 0 ] || fail "exit code $code"
  wait_for 30 test -s "$d/record.txt" || fail "the installer did not start"
}

# 1. The check hook: the notice shows the new version, nothing is asked,
#    nothing is downloaded; a mandatory release does not open the prompt.
check_shows_notice() {
  local d="$work/check"
  install_copy "$d/install"
  registration HKCU "$(winpath "$d/install")"
  local run
  for run in plain mandatory; do
    if [ $run = plain ]; then manifest check $newer "$base/setup.exe"; else manifest check $newer "$base/setup.exe" mandatory; fi
    # The notice is judged in a picture of the first run.
    local shot=()
    [ $run = plain ] && shot=(ZELMAR_TEST_SHOT="$(winpath "$d/$run.bmp")" ZELMAR_TEST_SHOT_DELAY_MS=8000)
    start_program "$d/$run.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_UPDATE=check \
      ZELMAR_UPDATE_URL="$base/check.json" "${shot[@]}"
    local pid=$started
    if [ $run = plain ]; then
      wait_for 60 grep -qsF "版面擷圖" "$d/$run.txt" || fail "$run: no snapshot"
    else
      wait_for 60 grep -qsF "檢查完成" "$d/$run.txt" || fail "$run: the check did not end"
    fi
    close_program "$d/$run.txt" "$pid"
    expect_log "$d/$run.txt" "[DMMApp] 更新：清單網址 $base/check.json（來源 environment）、目前版本 $running_version" \
      "[DMMApp] 更新：測試 hook check——立即檢查（不開對話框）" "[DMMApp] 更新：開始檢查（automatic）" \
      "測試 hook 生效）"
    expect_no_log "$d/$run.txt" "開啟新版本對話框" "開始下載"
  done
  # The picture must come after the check (a loopback check takes well
  # under a second of the eight).
  [ "$(grep -n "檢查完成" "$d/plain.txt" | cut -d: -f1)" -lt "$(grep -n "版面擷圖" "$d/plain.txt" | cut -d: -f1)" ] 2>/dev/null \
    || fail "the check ended after the picture was taken"
  expect_log "$d/plain.txt" "[DMMApp] 更新：檢查完成（automatic）——有新版本 $newer（一般，2026-12-01，"
  expect_log "$d/mandatory.txt" "[DMMApp] 更新：檢查完成（automatic）——有新版本 $newer（強制，2026-12-01，" \
    "[DMMApp] 更新：測試 hook check——對話框不開啟，只顯示狀態列提示"
  [ "$(requests_of setup.exe)" -eq 0 ] || fail "the installer was downloaded"
  # The notice: underlined link-blue text at the right of the status bar.
  python3 - "$d/plain.bmp" >"$d/notice.txt" 2>&1 <<'PY' || fail "notice: $(cat "$d/notice.txt")"
import struct, sys
data = open(sys.argv[1], "rb").read()
width, height = struct.unpack_from("<ii", data, 18)
def pixel(x, y):  # rows run bottom-up
    at = 54 + ((height - 1 - y) * width + x) * 4
    return data[at + 2], data[at + 1], data[at]
blue = sum(1 for y in range(height - 30, height) for x in range(width // 2, width)
           if (lambda p: p[2] > 150 and p[0] < 80 and p[1] < 140)(pixel(x, y)))
assert blue > 30, f"only {blue} notice-blue pixels in the status bar"
PY
}

# 2. The install hook, per user: the installer is downloaded, verified and
#    started with the per-user switches from its own folder; the program
#    closes in order, its journal gone.
install_per_user() {
  local d="$work/install"
  install_copy "$d/install"
  registration HKCU "$(winpath "$d/install")"
  install_run "$d" install
  local installer
  installer="$(winpath "$d/data")\\updates\\ZELMAR_DMM5174K_Setup_$newer.exe"
  expect_log "$d/log.txt" "[DMMApp] 更新：測試 hook install——立即檢查，有新版即無人值守下載並安裝" \
    "[DMMApp] 更新：檢查完成（unattendedInstall）——有新版本 $newer（一般，2026-12-01，" \
    "[DMMApp] 更新：開始下載 $base/setup.exe → $installer" "[DMMApp] 更新：下載 0%（" "[DMMApp] 更新：下載 100%（" \
    "[DMMApp] 更新：安裝檔下載並校驗完成（大小與 SHA-256 相符）：$installer" \
    "[DMMApp] 更新：啟動安裝程式（perUser）：$installer $params /CURRENTUSER" \
    "[DMMApp] 更新：安裝程式已啟動，程式正常關閉收尾後結束（安裝完成會自動重新啟動新版）" \
    "[DMMApp] 線上更新：安裝程式已啟動，正常關閉：緩衝檔與側檔已刪除、設定已寫入" "[DMMApp] 結束，代碼 0"
  grep -qF "$params /CURRENTUSER" "$d/record.txt" || fail "the installer got: $(head -n 1 "$d/record.txt")"
  grep -qiF "working folder: $(winpath "$d/data")\\updates" "$d/record.txt" \
    || fail "the installer started in: $(tail -n 1 "$d/record.txt")"
  [ ! -e "$d/data/temp/current.jsonl" ] || fail "the journal is still there"
  [ "$(updates_left "$d/data")" = "ZELMAR_DMM5174K_Setup_$newer.exe " ] || fail "updates holds: $(updates_left "$d/data")"
}

# 3. Failures: each logs its line, starts nothing, leaves no file in the
#    updates folder, and the program keeps running until it is closed.
failure_run() { # name, expected log text, extra variables...
  local name=$1 expected=$2
  shift 2
  local d="$work/failures/$name"
  mkdir -p "$d"
  start_program "$d/log.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_UPDATE=install \
    ZELMAR_UPDATE_URL="$base/$name.json" ZELMAR_E2E_INSTALLER_RECORD="$(winpath "$d/record.txt")" "$@"
  local pid=$started
  wait_for 60 grep -qsF -- "$expected" "$d/log.txt" || fail "$name: log lacks \"$expected\""
  kill -0 "$pid" 2>/dev/null || fail "$name: the program ended"
  close_program "$d/log.txt" "$pid"
  # Judged once it has ended: whatever it would (wrongly) start was logged.
  expect_no_log "$d/log.txt" "啟動安裝程式"
  [ ! -e "$d/record.txt" ] || fail "$name: an installer was started"
  [ -z "$(updates_left "$d/data")" ] || fail "$name: updates holds $(updates_left "$d/data")"
}

failures() {
  local d="$work/failures"
  install_copy "$d/install"
  registration HKCU "$(winpath "$d/install")"
  "$keygen" update | sed -n 's/^private //p' >"$work/stranger.hex"
  manifest stranger $newer "$base/setup.exe" key="$work/stranger.hex"
  manifest hash $newer "$base/setup.exe" sha=0000000000000000000000000000000000000000000000000000000000000000
  manifest size $newer "$base/setup.exe" size+1
  manifest missing $newer "$base/missing.exe"
  manifest cut $newer "$base/cut/setup.exe"
  manifest older "$older" "$base/setup.exe"
  manifest recording $newer "$base/setup.exe"
  failure_run stranger "更新：檢查失敗（unattendedInstall）——清單驗章失敗（可能遭竄改、keyId 不明或非發行端所簽）"
  failure_run hash "[DMMApp] 更新：失敗——安裝檔大小或 SHA-256 不符（已刪除）"
  failure_run size "[DMMApp] 更新：失敗——安裝檔大小或 SHA-256 不符（已刪除）"
  failure_run missing "[DMMApp] 更新：失敗——下載伺服器回應 HTTP 404"
  failure_run cut "[DMMApp] 更新：失敗——下載網路錯誤（代碼 "
  expect_log "$d/cut/log.txt" "[DMMApp] 更新：開始下載 $base/cut/setup.exe"
  local before
  before=$(requests_of setup.exe)
  failure_run older "[DMMApp] 更新：檢查完成（unattendedInstall）——已是最新版本 $running_version"
  # Recording: the close then asks nothing (the automatic-close hook answers).
  failure_run recording "[DMMApp] 更新：失敗——記錄中，不可更新" ZELMAR_TEST_AUTORECORD=1 ZELMAR_TEST_AUTOCLOSE_MS=600000
  [ "$(requests_of setup.exe)" -eq "$before" ] || fail "an older release or a recording run downloaded"
}

# 4. A machine-wide installation: the launch asks for elevation ("runas")
#    and leaves out /CURRENTUSER. Wine does not elevate; it starts it.
install_machine() {
  local d="$work/machine"
  install_copy "$d/install"
  registration HKCU
  registration HKLM "$(winpath "$d/install")\\"
  install_run "$d" machine
  expect_log "$d/log.txt" \
    "[DMMApp] 更新：啟動安裝程式（machine、動詞 runas）：$(winpath "$d/data")\\updates\\ZELMAR_DMM5174K_Setup_$newer.exe $params" \
    "[DMMApp] 線上更新：安裝程式已啟動，正常關閉：緩衝檔與側檔已刪除、設定已寫入"
  expect_no_log "$d/log.txt" "/CURRENTUSER"
  grep -qF -- "$params" "$d/record.txt" || fail "the installer got: $(head -n 1 "$d/record.txt")"
  ! grep -qF -- "/CURRENTUSER" "$d/record.txt" || fail "the machine-wide installer got /CURRENTUSER"
}

echo "==> end-to-end update runs of DMM5174K.exe"
if [ ! -f "$built/DMM5174K.exe" ] || [ ! -f "$recorder" ] || [ ! -x "$publish" ] || [ ! -x "$keygen" ]; then
  echo "  [FAIL] the program, installer_recorder.exe or the Linux publishing tools are not built"
  echo "e2e: 0 passed, 1 failed"
  exit 1
fi
cp "$recorder" "$work/www/setup.exe"
python3 "$root/tests/e2e/update_server.py" "$work/www" "$work/port" &
server=$!
trap 'kill $server 2>/dev/null; registration HKCU; registration HKLM' EXIT
wait_for 20 test -s "$work/port" || { echo "  [FAIL] the update server did not start"; echo "e2e: 0 passed, 1 failed"; exit 1; }
base="http://127.0.0.1:$(cat "$work/port")"

scenario "update check shows the notice and asks nothing" check_shows_notice
scenario "update install hands over to the installer (per user)" install_per_user
scenario "update failures start nothing and keep running" failures
scenario "update of a machine-wide installation asks for elevation" install_machine
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
