#!/usr/bin/env bash
# End-to-end runs of the real DMM5174K.exe under Wine and Xvfb, driven by
# its test hooks against the built-in meter simulator; each run's log file
# and the files it leaves are checked, and saved files are verified by the
# Linux logger. scripts/test.sh runs this with Wine and a display ready
# (WINEPREFIX, DISPLAY); it prints one line per run and a total.
#   window_program.sh ROOT [SCENARIO...]   (function names; all when none)
set -uo pipefail
root=$1
shift
only=("$@")
program="$root/build/windows/program/DMM5174K.exe"
logger="$root/build/linux/src/app/dmm5174k"
make_zmd="$root/build/linux/tests/make_zmd"
work="$root/build/e2e"
rm -rf "$work"
mkdir -p "$work"

source "$(dirname "$0")/lib.sh"

# 1. Record at 1 s for 6 s, close by itself and save: the file verifies on
#    Linux and holds what was recorded; the journal is gone.
record_and_save() {
  local d="$work/record"
  mkdir -p "$d/data"
  run_program "$d/log.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_AUTORECORD=1 \
    ZELMAR_TEST_INTERVAL=1 ZELMAR_TEST_AUTOCLOSE_MS=6000 ZELMAR_TEST_AUTOSAVE="$(winpath "$d/saved.zmd")"
  local code=$?
  [ $code -eq 0 ] || fail "exit code $code"
  expect_log "$d/log.txt" "[DMMApp] 啟動完成（版本 " "、間隔 1 秒、測試 hook 生效）" \
    "[DMMApp] 測試 hook：自動開始記錄" "[DMMApp] 開始記錄（間隔 1 秒，取樣排程 tick 250 ms）" \
    "[DMMApp] 測試 hook：自動關閉" "[DMMApp] 測試 hook：記錄中關閉確認自動回答『是』" \
    "[DMMApp] 測試 hook：未存檔詢問自動回答『存檔』→ " "[DMMApp] 已存檔 .zmd " \
    "[DMMApp] 正常關閉：緩衝檔與側檔已刪除、設定已寫入" "[DMMApp] 結束，代碼 0"
  "$logger" verify "$d/saved.zmd" >"$d/verify.txt" 2>&1 || fail "dmm5174k verify: $(cat "$d/verify.txt")"
  local records
  records=$("$logger" info "$d/saved.zmd" 2>/dev/null | sed -n 's/^Records: *//p')
  # One sample a second for six seconds; a slow machine may take fewer.
  [ "${records:-0}" -ge 1 ] && [ "${records:-0}" -le 8 ] || fail "info shows ${records:-no} records, expected 1 to 8"
  grep -qF "已存檔 .zmd $records 筆" "$d/log.txt" || fail "the log's count differs from the file's $records"
  [ ! -e "$d/data/temp/current.jsonl" ] || fail "the journal is still there"
  # The language was chosen and saved at once; the interval hook left the
  # stored interval alone; the close kept the window's placement.
  python3 - "$d/data/settings.json" >"$d/settings-check.txt" 2>&1 <<'PY' || fail "settings: $(cat "$d/settings-check.txt")"
import json, sys
s = json.load(open(sys.argv[1], encoding="utf-8"))
assert s["language"] in ("zh-TW", "en-US"), s
assert s["recordInterval"] == 10, s
assert {"x", "y", "width", "height", "isMaximized"} <= set(s["windowPlacement"]), s
PY
}

# 2. Killed mid-recording: a restore brings back every journaled record; a
#    discard removes the journal and touches nothing else.
kill_and_recover() {
  local d="$work/recover"
  mkdir -p "$d/data"
  local data
  data=$(winpath "$d/data")
  record_until_killed() { # log
    start_program "$1" ZELMAR_TEST_DATA_DIR="$data" ZELMAR_TEST_AUTORECORD=1 ZELMAR_TEST_INTERVAL=1
    wait_for 60 journal_has "$d/data" 3 || fail "fewer than 3 journal lines after 60 s"
    kill_program "$started"
  }
  record_until_killed "$d/first.txt"
  local journaled
  journaled=$(journal_lines "$d/data")
  run_program "$d/restore.txt" ZELMAR_TEST_DATA_DIR="$data" ZELMAR_TEST_RECOVERY=restore \
    ZELMAR_TEST_AUTOCLOSE_MS=1500 ZELMAR_TEST_AUTOSAVE="$(winpath "$d/restored.zmd")"
  expect_log "$d/restore.txt" "[DMMApp] 測試 hook：恢復詢問自動回答 restore" "[DMMApp] 已恢復 $journaled 筆記錄（刪除筆數 0）"
  local records
  records=$("$logger" info "$d/restored.zmd" 2>/dev/null | sed -n 's/^Records: *//p')
  [ "${records:-0}" = "$journaled" ] || fail "restored file holds ${records:-no} records, journal had $journaled"

  record_until_killed "$d/second.txt"
  echo "keep me" >"$d/data/unrelated.txt"
  cp "$d/data/settings.json" "$d/settings.before"
  local saved
  saved=$(sha256sum <"$d/restored.zmd")
  # The discard alone, with no close after it: killed once it is logged.
  start_program "$d/discard.txt" ZELMAR_TEST_DATA_DIR="$data" ZELMAR_TEST_RECOVERY=discard
  wait_for 60 grep -qsF "使用者放棄恢復，緩衝檔已刪除" "$d/discard.txt" || fail "no discard logged"
  [ ! -e "$d/data/temp/current.jsonl" ] || fail "the journal survived the discard"
  kill_program "$started"
  expect_log "$d/discard.txt" "[DMMApp] 測試 hook：恢復詢問自動回答 discard"
  expect_no_log "$d/discard.txt" "已恢復"
  [ "$(cat "$d/data/unrelated.txt")" = "keep me" ] || fail "another file in the data directory changed"
  cmp -s "$d/data/settings.json" "$d/settings.before" || fail "the settings changed"
  [ "$(sha256sum <"$d/restored.zmd")" = "$saved" ] || fail "the saved file was touched"
}

# 3. A second start hands its file to the first and ends with 0; without a
#    file it brings the first to the front.
second_start() {
  local d="$work/forward"
  mkdir -p "$d/data"
  "$make_zmd" "$d/forwarded.zmd" DMM-5174K 12 || fail "make_zmd"
  local data
  data=$(winpath "$d/data")
  start_program "$d/first.txt" ZELMAR_TEST_DATA_DIR="$data"
  local first=$started
  wait_for 60 grep -qsF "啟動完成" "$d/first.txt" || fail "the first instance did not start"
  run_program "$d/second.txt" ZELMAR_TEST_DATA_DIR="$data" -- "$(winpath "$d/forwarded.zmd")"
  local code=$?
  [ $code -eq 0 ] || fail "the second start ended with $code"
  expect_log "$d/second.txt" "單一執行個體：轉交 $(winpath "$d/forwarded.zmd") → 既有視窗已受理"
  expect_no_log "$d/second.txt" "啟動完成"
  wait_for 30 grep -qsF "已開啟 .zmd 12 筆" "$d/first.txt" || fail "the first instance did not open the file"
  expect_log "$d/first.txt" "[DMMApp] 轉交開檔：收到 $(winpath "$d/forwarded.zmd")"
  run_program "$d/third.txt" ZELMAR_TEST_DATA_DIR="$data"
  [ $? -eq 0 ] || fail "the start without a file did not end with 0"
  expect_log "$d/third.txt" "[DMMApp] 單一執行個體：已切換至既有視窗"
  # Closed as the shell's close would: WM_CLOSE to its window.
  timeout 60 "$wine64" taskkill /IM DMM5174K.exe >/dev/null 2>&1
  wait_for 60 grep -qsF "結束，代碼 0" "$d/first.txt" || fail "the first instance did not close"
  { wait "$first"; } 2>/dev/null
}

# 4. Files that must be refused: tampered, a newer format, another model.
#    Each is logged and the working set stays as it was.
refused_files() {
  local d="$work/refused"
  mkdir -p "$d/data"
  "$make_zmd" "$d/good.zmd" DMM-5174K 3 || fail "make_zmd"
  "$make_zmd" "$d/loaded.zmd" DMM-5174K 4 || fail "make_zmd"
  sed '0,/"x":"5.000"/s//"x":"5.001"/' "$d/good.zmd" >"$d/tampered.zmd"
  cmp -s "$d/good.zmd" "$d/tampered.zmd" && fail "the tampered copy is not different"
  sed 's/"formatVersion":1/"formatVersion":2/' "$d/good.zmd" >"$d/newer.zmd"
  "$make_zmd" "$d/other.zmd" DMM-9999 3 || fail "make_zmd"
  local name expected
  for name in tampered newer other; do
    case $name in
      tampered) expected="ZmdError.tampered" ;;
      newer) expected="ZmdError.unsupportedVersion" ;;
      other) expected="ZmdError.modelMismatch" ;;
    esac
    # A file of 4 records is open (the launch argument) when the bad one comes.
    run_program "$d/$name.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" \
      ZELMAR_TEST_OPEN_PATH="$(winpath "$d/$name.zmd")" ZELMAR_TEST_AUTOCLOSE_MS=1000 -- "$(winpath "$d/loaded.zmd")"
    expect_log "$d/$name.txt" "[DMMApp] 已開啟 .zmd 4 筆" "[DMMApp] 測試 hook：自動開啟 $(winpath "$d/$name.zmd")" \
      "[DMMApp] 開啟失敗（$(winpath "$d/$name.zmd")）：$expected" "；工作集維持不變（4 筆）" "[DMMApp] 結束，代碼 0"
    expect_no_log "$d/$name.txt" "已開啟 .zmd 3 筆"
  done
}

# 5. One writer per data directory: the Linux logger holding it makes the
#    program's recording and opening refuse and its journal untouched, and
#    the program holding it stops the logger.
one_writer() {
  local d="$work/writer"
  mkdir -p "$d/data"
  "$make_zmd" "$d/file.zmd" DMM-5174K 5 || fail "make_zmd"
  "$logger" log --simulate --interval 1 --data-dir "$d/data" --save "$d/linux.zmd" --quiet >"$d/logger.txt" 2>&1 &
  local cli=$!
  wait_for 20 journal_has "$d/data" 1 || fail "the logger did not start"
  run_program "$d/refused.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_AUTORECORD=1 \
    ZELMAR_TEST_OPEN_PATH="$(winpath "$d/file.zmd")" ZELMAR_TEST_AUTOCLOSE_MS=2500
  expect_log "$d/refused.txt" "[DMMApp] 資料夾由另一個記錄程式使用中：" \
    "：資料夾由另一個記錄程式使用中；工作集維持不變（0 筆）" \
    "[DMMApp] 正常關閉：緩衝檔屬於另一個記錄程式而保留、設定已寫入" "[DMMApp] 結束，代碼 0"
  expect_no_log "$d/refused.txt" "開始記錄（間隔" "已恢復" "已開啟 .zmd"
  local before
  before=$(journal_lines "$d/data")
  wait_for 20 journal_has "$d/data" $((before + 1)) || fail "the logger's journal stopped growing"
  kill -INT "$cli"
  wait "$cli" || fail "the logger failed: $(cat "$d/logger.txt")"
  local records
  records=$("$logger" info "$d/linux.zmd" 2>/dev/null | sed -n 's/^Records: *//p')
  [ "${records:-0}" -gt "$before" ] || fail "the logger saved ${records:-no} records, its journal had $before before"

  start_program "$d/holder.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_AUTORECORD=1 \
    ZELMAR_TEST_INTERVAL=1
  local gui=$started
  wait_for 60 grep -qsF "開始記錄（間隔" "$d/holder.txt" || fail "the program did not start recording"
  "$logger" log --simulate --duration 2 --data-dir "$d/data" --save "$d/second.zmd" >"$d/second-logger.txt" 2>&1
  local code=$?
  [ $code -eq 8 ] || fail "the logger ended with $code, expected 8 (data directory in use)"
  grep -q "data directory" "$d/second-logger.txt" || grep -q "資料夾" "$d/second-logger.txt" \
    || fail "the logger gave no reason: $(cat "$d/second-logger.txt")"
  [ ! -e "$d/second.zmd" ] || fail "the refused logger wrote a file"
  kill_program "$gui"
}

# 6. The layout picture: a BMP whose header is exactly as specified, with
#    the menu band when a menu is asked for.
snapshots() {
  local d="$work/shot"
  mkdir -p "$d/data"
  run_program "$d/plain.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_SHOT="$(winpath "$d/plain.bmp")" \
    ZELMAR_TEST_SHOT_DELAY_MS=800 ZELMAR_TEST_AUTOCLOSE_MS=2500
  run_program "$d/menu.txt" ZELMAR_TEST_DATA_DIR="$(winpath "$d/data")" ZELMAR_TEST_SHOT="$(winpath "$d/menu.bmp")" \
    ZELMAR_TEST_SHOT_DELAY_MS=800 ZELMAR_TEST_SHOT_MENU=View ZELMAR_TEST_AUTOCLOSE_MS=2500
  expect_log "$d/plain.txt" "[DMMApp] 測試 hook：800 ms 後擷圖至 " "[DMMApp] 測試 hook：版面擷圖已輸出：" \
    "[DMMUI] Snapshot：已繪製控制項 "
  expect_log "$d/menu.txt" "[DMMApp] 測試 hook：版面擷圖已輸出："
  python3 - "$d/plain.bmp" "$d/menu.bmp" >"$d/check.txt" 2>&1 <<'PY' || fail "$(cat "$d/check.txt")"
import struct, sys
def header(path):
    data = open(path, "rb").read()
    magic, size, reserved, offset = struct.unpack("<2sIIi", data[:14])
    fields = struct.unpack("<IiiHHIIiiII", data[14:54])
    return data, magic, size, reserved, offset, fields
plain, menu = (header(p) for p in sys.argv[1:3])
for data, magic, size, reserved, offset, f in (plain, menu):
    width, height = f[1], f[2]
    expected = (40, width, height, 1, 32, 0, width * height * 4, 2835, 2835, 0, 0)
    assert magic == b"BM" and reserved == 0 and offset == 54, (magic, reserved, offset)
    assert size == 54 + width * height * 4 == len(data), (size, len(data))
    assert f == expected, (f, expected)
    assert width > 0 and height > 0
pw, ph = plain[5][1], plain[5][2]
mw, mh = menu[5][1], menu[5][2]
assert mw == pw and mh > ph, ((pw, ph), (mw, mh))  # the menu band sits above the client
def pixel(data, width, height, x, y):  # rows run bottom-up
    at = 54 + ((height - 1 - y) * width + x) * 4
    return data[at + 2], data[at + 1], data[at]
band = mh - ph
top_row = {pixel(menu[0], mw, mh, x, 0) for x in range(mw)}
assert (255, 255, 255) in top_row, "the menu band is not white"
highlight = sum(pixel(menu[0], mw, mh, x, y) == (0xCC, 0xE8, 0xFF) for x in range(0, mw, 2) for y in range(band))
assert highlight > 20, "the chosen menu is not highlighted"
colours = {pixel(plain[0], pw, ph, x, y) for x in range(0, pw, 7) for y in range(0, ph, 7)}
assert len(colours) > 20, f"the client shows only {len(colours)} colours"
PY
}

# 7. The logger left a journal while the program ran beside it: the first
#    forwarded open asks about those records before it could replace them,
#    and with the unsaved question open nothing is lost, not even by a close.
logger_journal_then_open() {
  local d="$work/late"
  mkdir -p "$d/data"
  "$make_zmd" "$d/five.zmd" DMM-5174K 5 || fail "make_zmd"
  local data
  data=$(winpath "$d/data")
  # The logger keeps recording until the program has started beside it;
  # stopped without --save, it keeps its journal.
  "$logger" log --simulate --interval 1 --data-dir "$d/data" --quiet >"$d/logger.txt" 2>&1 &
  local cli=$!
  wait_for 20 journal_has "$d/data" 1 || fail "the logger did not start"
  start_program "$d/program.txt" ZELMAR_TEST_DATA_DIR="$data" ZELMAR_TEST_RECOVERY=restore
  local gui=$started
  wait_for 60 grep -qsF "啟動完成" "$d/program.txt" || fail "the program did not start"
  kill -INT "$cli"
  wait "$cli" || fail "the logger failed: $(cat "$d/logger.txt")"
  local left
  left=$(journal_lines "$d/data")
  [ "$left" -ge 1 ] || fail "the logger left no journal"
  run_program "$d/second.txt" ZELMAR_TEST_DATA_DIR="$data" -- "$(winpath "$d/five.zmd")"
  wait_for 60 grep -qsF "已恢復 $left 筆記錄" "$d/program.txt" || fail "the logger's $left records were not restored"
  # The unsaved question is up now: nothing may replace the records under
  # it, and a close waits for it (the close also ends the box as Cancel;
  # the close then asks again).
  wait_for 30 close_until_logged "$d/program.txt" "關閉要求：尚有詢問未回答，回答後再關閉" \
    || fail "the close during the unsaved question was not held"
  expect_log "$d/program.txt" "[DMMApp] 資料夾由另一個記錄程式使用中：" "[DMMApp] 測試 hook：恢復詢問自動回答 restore"
  expect_no_log "$d/program.txt" "已開啟 .zmd" "緩衝檔與側檔已刪除"
  [ "$(journal_lines "$d/data")" -eq "$left" ] || fail "the journal holds $(journal_lines "$d/data") records, expected $left"
  kill_program "$gui"
  [ "$(journal_lines "$d/data")" -eq "$left" ] || fail "after the kill the journal holds $(journal_lines "$d/data") records"
}

# 8. A close (taskkill's WM_CLOSE) while the start-up recovery question is
#    open: it waits for the question, which the same close ends without an
#    answer; nothing is restored or discarded, the program ends, the journal
#    stays, and a restart restores every record.
close_during_recovery_question() {
  local d="$work/recovery-close"
  mkdir -p "$d/data"
  local data
  data=$(winpath "$d/data")
  start_program "$d/first.txt" ZELMAR_TEST_DATA_DIR="$data" ZELMAR_TEST_AUTORECORD=1 ZELMAR_TEST_INTERVAL=1
  wait_for 60 journal_has "$d/data" 3 || fail "fewer than 3 journal lines after 60 s"
  kill_program "$started"
  local journaled
  journaled=$(journal_lines "$d/data")
  start_program "$d/asked.txt" ZELMAR_TEST_DATA_DIR="$data"
  local gui=$started
  wait_for 60 grep -qsF "恢復詢問：緩衝檔有 $journaled 筆記錄" "$d/asked.txt" || fail "no recovery question"
  # Until the box is there to be closed too, a close only waits for it.
  wait_for 60 close_until_logged "$d/asked.txt" "結束，代碼 0" || fail "the program did not end"
  { wait "$gui"; } 2>/dev/null
  # The close reaches the box and the window in either order: the window's
  # first, and it is held until the box is gone ("尚有詢問未回答"); the box's
  # first, and the window's comes after the question. Either way the journal
  # stays. (The held close itself is the controller tests' to check.)
  expect_log "$d/asked.txt" "[DMMApp] 恢復詢問未獲回答（詢問視窗被關閉），緩衝檔保留至下次詢問" \
    "[DMMApp] 正常關閉：恢復詢問未獲回答，緩衝檔保留、設定已寫入"
  expect_no_log "$d/asked.txt" "使用者放棄恢復" "已恢復" "緩衝檔與側檔已刪除"
  [ "$(journal_lines "$d/data")" -eq "$journaled" ] || fail "the journal changed: $(journal_lines "$d/data") of $journaled"
  wait_for 30 program_gone || fail "the program was still running 30 s after its end"
  run_program "$d/restore.txt" ZELMAR_TEST_DATA_DIR="$data" ZELMAR_TEST_RECOVERY=restore \
    ZELMAR_TEST_AUTOCLOSE_MS=1500 ZELMAR_TEST_AUTOSAVE="$(winpath "$d/restored.zmd")"
  expect_log "$d/restore.txt" "[DMMApp] 已恢復 $journaled 筆記錄"
}

echo "==> end-to-end runs of DMM5174K.exe"
if [ ! -f "$program" ] || [ ! -x "$logger" ] || [ ! -x "$make_zmd" ]; then
  echo "  [FAIL] the program, the Linux logger or make_zmd is not built"
  echo "e2e: 0 passed, 1 failed"
  exit 1
fi
scenario "record, close by itself and save" record_and_save
scenario "killed mid-recording, then restored and discarded" kill_and_recover
scenario "second start forwards its file or activates the first" second_start
scenario "tampered, newer and other-model files are refused" refused_files
scenario "one writer per data directory" one_writer
scenario "layout pictures" snapshots
scenario "the logger's journal is asked about before a forwarded open" logger_journal_then_open
scenario "a close during the recovery question waits for the answer" close_during_recovery_question
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
