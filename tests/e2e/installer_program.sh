#!/usr/bin/env bash
# End-to-end runs of the real installer: installers of the program and of
# the same program one patch version later, compiled by scripts/package.sh
# from the Windows tree's program folders; a per-user installation and its
# checks; the online update from the installed program to the next version
# through the real installer; an uninstallation that leaves only the user's
# data. The installer and its compiler are 32-bit programs: on a machine
# whose kernel refuses those the runs are skipped, and the line
# "installer runs skipped: REASON" says so. Like small_screen.sh it runs on
# a display and a Wine server of its own.
#   installer_program.sh ROOT [SCENARIO...]   (function names; all when none)
set -uo pipefail
root=$1
shift
only=("$@")
work="$root/build/e2e-installer"
packages="$work/packages"
publish="$root/build/linux/tools/dmm5174k-publish"
dev_key="$root/tests/fixtures/update-dev-key.private.hex"
running_version=$(sed -n 's/^  VERSION \([0-9]*\.[0-9]*\.[0-9]*\)$/\1/p' "$root/CMakeLists.txt" | head -n 1)
newer="${running_version%.*}.$((${running_version##*.} + 1))"
app_name="ZELMAR DMM-5174K"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\{6B2F1E0A-5174-4D2A-9E1C-0D3E5174E429}_is1'

echo "==> installer runs (per user and machine-wide: installation, update through the real installer, uninstallation)"
if ! bash "$root/scripts/probe-32bit.sh"; then
  echo "installer runs skipped: this machine's kernel does not run 32-bit x86 programs, and the installer's compiler and setup programs are 32-bit"
  echo "e2e: 0 passed, 0 failed"
  exit 0
fi

rm -rf "$work"
mkdir -p "$work/www" "$packages"
source "$(dirname "$0")/lib.sh"
source "$root/scripts/wine-display.sh"

# The installers, once per run; the package step brings its own compiler
# prefix up and down.
bash "$root/scripts/setup.sh" --installer >/dev/null || { echo "  [FAIL] setup.sh --installer"; echo "e2e: 0 passed, 1 failed"; exit 1; }
for pair in "$running_version:$root/build/windows/program" "$newer:$root/build/windows/program-next"; do
  if ! bash "$root/scripts/package.sh" windows --development-key --version "${pair%%:*}" --program "${pair#*:}" \
    --output "$packages" >"$work/package-${pair%%:*}.txt" 2>&1; then
    echo "  [FAIL] package.sh windows ${pair%%:*}: $(tail -n 3 "$work/package-${pair%%:*}.txt")"
    echo "e2e: 0 passed, 1 failed"
    exit 1
  fi
done
setup_a="$packages/ZELMAR_DMM5174K_Setup_$running_version.exe"
setup_b="$packages/ZELMAR_DMM5174K_Setup_$newer.exe"

private_display 1920x1080
wine_environment "$root"
wineserver -k 2>/dev/null || true
wineserver -p
"$WINE64" wineboot </dev/null >/dev/null 2>&1
python3 "$root/tests/e2e/update_server.py" "$work/www" "$work/port" &
server=$!
trap 'kill $server 2>/dev/null; wineserver -k 2>/dev/null; kill "$xvfb_pid" 2>/dev/null' EXIT
wait_for 20 test -s "$work/port" || { echo "  [FAIL] the update server did not start"; echo "e2e: 0 passed, 1 failed"; exit 1; }
base="http://127.0.0.1:$(cat "$work/port")"

user=$("$WINE64" cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
install_dir="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/$app_name"
shortcut="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$app_name.lnk"
data="$work/data"

# The 32-bit setup programs run with plain wine (the 32-bit loader).
run_setup() { # log setup.exe switches...: the installer's exit code
  local log=$1 setup=$2
  shift 2
  timeout 300 wine "$setup" "$@" "/LOG=$(winpath "$log")" >/dev/null 2>&1
}

reg_value() { # key value: the data of a registry value in the 64-bit view, or nothing
  "$WINE64" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

reg_default() { # key: its default value, or nothing
  "$WINE64" reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_[A-Z_]* *//p'
}

uninstall_string() { # the installation's uninstaller, a Windows path without quotes
  reg_value "HKCU\\$uninstall_key" UninstallString | tr -d '"'
}

# What an earlier run may have left in this prefix goes first.
if [ -n "$(uninstall_string)" ]; then
  timeout 120 wine "$(uninstall_string)" /SILENT /SUPPRESSMSGBOXES /NORESTART >/dev/null 2>&1
fi
machine_uninstaller=$(reg_value "HKLM\\$uninstall_key" UninstallString | tr -d '"')
if [ -n "$machine_uninstaller" ]; then
  timeout 120 wine "$machine_uninstaller" /SILENT /SUPPRESSMSGBOXES /NORESTART >/dev/null 2>&1
fi
"$WINE64" reg delete "HKLM\\$uninstall_key" /f >/dev/null 2>&1
"$WINE64" reg delete "HKCU\\$uninstall_key" /f >/dev/null 2>&1
"$WINE64" reg delete 'HKCU\Software\Classes\.zmd' /f >/dev/null 2>&1
"$WINE64" reg delete 'HKCU\Software\Classes\ZELMAR.DMM5174K.zmd' /f >/dev/null 2>&1
rm -rf "$install_dir" "$shortcut" "$WINEPREFIX/drive_c/Program Files/$app_name"

# 1. A per-user installation of the running version: files, the
#    uninstall key with its location, the .zmd association and the
#    Start-menu entry.
per_user_install() {
  local start=$SECONDS
  run_setup "$work/install-a.log" "$setup_a" /SILENT /SUPPRESSMSGBOXES /NORESTART /CURRENTUSER /LANG=zh
  local code=$?
  [ $code -eq 0 ] || fail "setup exited with $code: $(tail -n 3 "$work/install-a.log" 2>/dev/null)"
  # The installer speaks Traditional Chinese when asked (and English, the
  # language Wine's English interface gets, in the update below).
  grep -qF "Setup language: zh" "$work/install-a.log" || fail "the installer did not run in Traditional Chinese"
  echo "         per-user installation of $running_version in $((SECONDS - start)) s" >>"$work/times.txt"
  [ -f "$install_dir/DMM5174K.exe" ] || fail "no program in $install_dir"
  [ -f "$install_dir/LICENSE.txt" ] && [ -d "$install_dir/assets/fonts" ] && [ -d "$install_dir/help" ] \
    && [ -f "$install_dir/assets/help/DMM5174K.chm" ] && [ -f "$install_dir/assets/images/ZELMAR_LOGO.png" ] \
    || fail "the licence, fonts, help, compiled help or logo are missing"
  local location
  location=$(reg_value "HKCU\\$uninstall_key" InstallLocation)
  local expected="programs\\$app_name"
  [[ ${location,,} == *"${expected,,}"* ]] || fail "InstallLocation is \"$location\""
  [ "$(reg_value "HKCU\\$uninstall_key" DisplayVersion)" = "$running_version" ] || fail "DisplayVersion is not $running_version"
  [ "$(reg_default 'HKCU\Software\Classes\.zmd')" = "ZELMAR.DMM5174K.zmd" ] || fail "no .zmd association"
  [ -f "$shortcut" ] || fail "no Start-menu entry at $shortcut"
}

closed_twice() { # log: both versions have ended
  [ "$(grep -c "結束，代碼 0" "$1")" -ge 2 ]
}

# 2. The installed program updates itself: the manifest offers the next
#    version, the program downloads and verifies the real installer, starts
#    it and closes; the installer waits for it, replaces it and starts the
#    new version, which removes the installer it came from.
update_through_installer() {
  cp "$setup_b" "$work/www/setup.exe"
  local size sha
  size=$(stat -c %s "$work/www/setup.exe")
  sha=$(sha256sum "$work/www/setup.exe" | cut -d' ' -f1)
  cat >"$work/manifest.description.json" <<JSON
{"name":"ZELMAR DMM-5174K","latest":"$newer","versions":[{"version":"$newer","channel":"stable",
 "release_date":"2026-12-01","mandatory":false,"notes":{"en-US":"Test release."},
 "url":"$base/setup.exe","size":$size,"sha256":"$sha"}]}
JSON
  "$publish" "$work/manifest.description.json" "$dev_key" UPD-1 "$work/www/info.json" || fail "publishing failed"
  mkdir -p "$data"
  program="$install_dir/DMM5174K.exe"
  local start=$SECONDS
  # The relaunched version inherits the hooks: it finds itself up to date
  # and closes by itself.
  run_program "$work/update.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$data")" ZELMAR_TEST_UPDATE=install \
    ZELMAR_UPDATE_URL="$base/info.json" ZELMAR_TEST_AUTOCLOSE_MS=8000
  local code=$?
  [ $code -eq 0 ] || fail "the program exited with $code"
  wait_for 120 grep -qsF "啟動完成（版本 $newer" "$work/update.txt" || fail "the new version did not start"
  echo "         update $running_version -> $newer until the new version ran: $((SECONDS - start)) s" >>"$work/times.txt"
  wait_for 60 closed_twice "$work/update.txt" || fail "the new version did not close"
  expect_log "$work/update.txt" "[DMMApp] 更新：安裝檔下載並校驗完成" "[DMMApp] 更新：啟動安裝程式（perUser）" "/CURRENTUSER" \
    "[DMMApp] 線上更新：安裝程式已啟動，正常關閉：緩衝檔與側檔已刪除、設定已寫入" \
    "[DMMApp] 線上更新：程式於安裝程式啟動後 " \
    "[DMMApp] 更新：已安裝的更新檔已刪除：ZELMAR_DMM5174K_Setup_$newer.exe"
  [ "$(reg_value "HKCU\\$uninstall_key" DisplayVersion)" = "$newer" ] || fail "DisplayVersion is not $newer"
  [ -z "$(ls -A "$data/updates" 2>/dev/null)" ] || fail "left in the updates folder: $(ls -A "$data/updates")"
}

# 3. A silent uninstallation removes the program, its key, the association
#    and the Start-menu entry; the user's data folder stays.
uninstall_leaves_data() {
  local start=$SECONDS
  local uninstaller
  uninstaller=$(uninstall_string)
  [[ $uninstaller == *unins*.exe ]] || fail "the uninstall key names no uninstaller: \"$uninstaller\""
  run_setup "$work/uninstall.log" "$uninstaller" /SILENT /SUPPRESSMSGBOXES /NORESTART
  local code=$?
  [ $code -eq 0 ] || fail "the uninstaller exited with $code"
  # The uninstaller finishes from a copy of itself: wait for its work.
  wait_for 60 test ! -e "$install_dir/DMM5174K.exe" || fail "the program is still installed"
  echo "         uninstallation in $((SECONDS - start)) s" >>"$work/times.txt"
  wait_for 30 test -z "$(reg_value "HKCU\\$uninstall_key" InstallLocation)" || fail "the uninstall key is still there"
  "$WINE64" reg query 'HKCU\Software\Classes\.zmd' >/dev/null 2>&1 && fail "the .zmd key is still there"
  [ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
  [ -f "$data/settings.json" ] || fail "the user's data folder went too"
}

machine_dir="$WINEPREFIX/drive_c/Program Files/$app_name"

# 4. Machine-wide: installed under Program Files with the HKLM key; the
#    update goes through "runas" without /CURRENTUSER, and the program takes
#    twelve seconds to close (as a large save would): the installer waits
#    for it instead of failing to replace a file in use.
machine_wide_with_a_slow_close() {
  local start=$SECONDS
  run_setup "$work/install-machine.log" "$setup_a" /SILENT /SUPPRESSMSGBOXES /NORESTART /LANG=en
  local code=$?
  [ $code -eq 0 ] || fail "setup exited with $code"
  grep -qF "Setup language: en" "$work/install-machine.log" || fail "the installer did not run in English"
  echo "         machine-wide installation of $running_version in $((SECONDS - start)) s" >>"$work/times.txt"
  [ -f "$machine_dir/DMM5174K.exe" ] || fail "no program in $machine_dir"
  [ "$(reg_value "HKLM\\$uninstall_key" DisplayVersion)" = "$running_version" ] || fail "no HKLM key"
  [ -z "$(reg_value "HKCU\\$uninstall_key" DisplayVersion)" ] || fail "an HKCU key too"
  rm -rf "$data/updates"
  program="$machine_dir/DMM5174K.exe"
  start=$SECONDS
  run_program "$work/machine-update.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$data")" ZELMAR_TEST_UPDATE=install \
    ZELMAR_UPDATE_URL="$base/info.json" ZELMAR_TEST_AUTOCLOSE_MS=8000 ZELMAR_TEST_SLOW_CLOSE_MS=12000
  wait_for 180 grep -qsF "啟動完成（版本 $newer" "$work/machine-update.txt" || fail "the new version did not start"
  echo "         machine-wide update with a 12 s close until the new version ran: $((SECONDS - start)) s" >>"$work/times.txt"
  wait_for 60 closed_twice "$work/machine-update.txt" || fail "the new version did not close"
  expect_log "$work/machine-update.txt" "[DMMApp] 更新：啟動安裝程式（machine、動詞 runas）" "[DMMApp] 測試 hook：關閉延遲 12000 ms"
  expect_no_log "$work/machine-update.txt" "/CURRENTUSER"
  [ "$(reg_value "HKLM\\$uninstall_key" DisplayVersion)" = "$newer" ] || fail "DisplayVersion is not $newer"
  local uninstaller
  uninstaller=$(reg_value "HKLM\\$uninstall_key" UninstallString | tr -d '"')
  run_setup "$work/uninstall-machine.log" "$uninstaller" /SILENT /SUPPRESSMSGBOXES /NORESTART
  wait_for 60 test ! -e "$machine_dir/DMM5174K.exe" || fail "the machine-wide program is still installed"
  wait_for 30 test -z "$(reg_value "HKLM\\$uninstall_key" InstallLocation)" || fail "the HKLM key is still there"
}

scenario "per-user installation" per_user_install
scenario "update through the real installer" update_through_installer
scenario "uninstallation leaves only the user's data" uninstall_leaves_data
scenario "machine-wide installation, update with a slow close, uninstallation" machine_wide_with_a_slow_close
[ -f "$work/times.txt" ] && cat "$work/times.txt"
printf '         installers: %s\n' "$(stat -c '%n %s bytes' "$setup_a" "$setup_b" | sed "s|$packages/||" | tr '\n' ';')"
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
