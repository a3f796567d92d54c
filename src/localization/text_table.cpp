// The text table: one row per L10nKey, in declaration order.

#include "localization/localization.h"

#include <array>

namespace zelmar {

namespace {

struct Texts {
    std::string_view zhTW;
    std::string_view enUS;
};

constexpr std::string_view kHelpZh
    = "電錶連線後，程式會自動輪詢並即時顯示讀值。設定「記錄間隔」（秒）後按「啟動」開始記錄，每筆取樣會加入下方表格與右"
      "側圖表；"
      "按「停止」暫停取樣並保留資料。按「存檔」將記錄存成 ZELMAR "
      "量測資料檔（.zmd，具數位簽章），第一次存檔會詢問存放位置，"
      "之後存檔會覆寫同一檔案。按「開啟」載入 .zmd 檔，內容遭修改的檔案無法開啟。若要以試算表處理，請使用「檔案→匯出 "
      "CSV」。"
      "工具列按鈕只顯示圖示，游標停留時會顯示名稱。「新檔案」會清空目前的資料。記錄期間資料會持續寫入緩衝檔，"
      "若程式意外關閉，下次啟動時會詢問是否恢復。";

constexpr std::string_view kHelpEn
    = "Once the meter is connected, the application polls it and shows live readings. Set the record interval in "
      "seconds and press Start to record; each sample is appended to the table below and the chart on the right. "
      "Stop pauses sampling and keeps the data. Save stores the recording as a ZELMAR measurement data file (.zmd, "
      "digitally signed); the first save asks for a location, later saves overwrite the same file. Open loads a "
      ".zmd file; files whose contents were modified cannot be opened. For spreadsheet work, use File, Export CSV. "
      "Toolbar buttons show icons only; hovering over one shows its label. New File clears the current data set. "
      "While recording, data is continuously written to a buffer file, and after an unexpected close the next "
      "start asks whether to recover it.";

constexpr std::array<Texts, l10nKeyCount> kTable { {
    { "檔案(&F)", "&File" },
    { "編輯(&E)", "&Edit" },
    { "檢視(&V)", "&View" },
    { "說明(&H)", "&Help" },
    { "新檔案(&N)\tCtrl+N", "&New\tCtrl+N" },
    { "開啟(&O)...\tCtrl+O", "&Open...\tCtrl+O" },
    { "存檔(&S)\tCtrl+S", "&Save\tCtrl+S" },
    { "另存新檔(&A)...\tCtrl+Shift+S", "Save &As...\tCtrl+Shift+S" },
    { "匯出 CSV(&E)...", "&Export CSV..." },
    { "離開(&X)\tAlt+F4", "E&xit\tAlt+F4" },
    { "複製選取列(&C)\tCtrl+C", "&Copy Selected Rows\tCtrl+C" },
    { "全選(&A)\tCtrl+A", "Select &All\tCtrl+A" },
    { "刪除選取列(&D)\tDel", "&Delete Selected Rows\tDel" },
    { "清空記錄(&L)", "C&lear All Records" },
    { "圖表(&C)", "&Chart" },
    { "永遠最上層(&T)", "Always on &Top" },
    { "語言(Language)", "語言(Language)" },
    { "正體中文", "正體中文" },
    { "English", "English" },
    { "使用說明(&U)\tF1", "&User Guide\tF1" },
    { "關於 DMM-5174K(&A)", "&About DMM-5174K" },
    { "授權條款(&L)", "&License Agreement" },
    { "記錄間隔", "Record Interval" },
    { "秒", "sec" },
    { "新檔案", "New File" },
    { "啟動", "Start" },
    { "停止", "Stop" },
    { "存檔", "Save" },
    { "開啟", "Open" },
    { "開始記錄", "Start recording" },
    { "停止記錄", "Stop recording" },
    { "新檔案 (Ctrl+N)", "New (Ctrl+N)" },
    { "開啟 (Ctrl+O)", "Open (Ctrl+O)" },
    { "存檔 (Ctrl+S)", "Save (Ctrl+S)" },
    { "記錄中無法使用", "Unavailable while recording" },
    { "ZELMAR 量測資料", "ZELMAR Measurement Data" },
    { "CSV 檔案", "CSV Files" },
    { "所有檔案", "All Files" },
    { "單位", "Unit" },
    { "數值", "Value" },
    { "時間軸", "Time Axis" },
    { "日期", "Date" },
    { "時間", "Time" },
    { "檔位", "Function" },
    { "數值", "Value" },
    { "單位", "Unit" },
    { "未連線", "Disconnected" },
    { "讀取錯誤", "Read Error" },
    { "USB 連線", "USB Connection" },
    { "恢復記錄", "Recover Data" },
    { "恢復", "Restore" },
    { "放棄", "Discard" },
    { "確認關閉", "Confirm Close" },
    { "記錄進行中，停止並關閉？", "Recording is in progress. Stop and close?" },
    { "停止並關閉", "Stop and Close" },
    { "未儲存的變更", "Unsaved Changes" },
    { "目前記錄尚未存檔，是否存檔？", "The current recording has not been saved. Save changes?" },
    { "不存檔", "Don't Save" },
    { "已達記錄上限", "Recording Limit Reached" },
    { "已達 600,000 筆上限，請存檔或開新檔案。",
        "The 600,000-record limit has been reached. Please save or start a new file." },
    { "新檔案", "New File" },
    { "將清空目前的記錄資料，確定要開新檔案嗎？", "This will clear the current recording data. Start a new file?" },
    { "刪除選取列", "Delete Selected Rows" },
    { "確定要刪除選取的列嗎？", "Delete the selected rows?" },
    { "刪除", "Delete" },
    { "清空記錄", "Clear All Records" },
    { "確定要清空所有記錄嗎？此動作無法復原。", "Clear all records? This action cannot be undone." },
    { "清空", "Clear" },
    { "存檔失敗", "Save Failed" },
    { "無法開啟檔案", "Cannot Open File" },
    { "這不是 ZELMAR 量測資料檔（.zmd），或檔案結構已損壞。",
        "This is not a ZELMAR measurement data file (.zmd), or the file structure is damaged." },
    { "檔案內容已被修改或損毀，數位簽章驗證未通過，無法開啟。",
        "The file has been modified or corrupted and failed digital signature verification. It cannot be opened." },
    { "此檔案由較新版本的程式建立，請更新軟體後再開啟。",
        "This file was created by a newer version of the software. Please update the software and try again." },
    { "匯出失敗", "Export Failed" },
    { "緩衝檔寫入失敗", "Buffer Write Failed" },
    { "緩衝檔寫入失敗，記錄仍會繼續，但當機時可能遺失資料。",
        "Failed to write the buffer file. Recording will continue, but data may be lost if the app crashes." },
    { "確定", "OK" },
    { "取消", "Cancel" },
    { "記錄進行中，請先停止記錄後再開啟檔案。", "Recording is in progress. Stop recording before opening a file." },
    { "找不到授權條款檔案（LICENSE.txt）。", "The license agreement file (LICENSE.txt) could not be found." },
    { "軟體更新", "Software Update" },
    { "有新版本可供更新", "A new version is available" },
    { "有必要的更新", "A required update is available" },
    { "此為必要更新，請盡快安裝。", "This is a required update. Please install it as soon as possible." },
    { "安裝時程式會自動關閉，完成後重新啟動。",
        "The application will close during installation and restart when it is finished." },
    { "更新說明：", "Release notes:" },
    { "（未提供更新說明）", "(No release notes provided)" },
    { "立即更新", "Update Now" },
    { "稍後提醒", "Remind Me Later" },
    { "正在下載更新", "Downloading update" },
    { "正在取消下載，請稍候…", "Cancelling the download, please wait..." },
    { "無法檢查更新", "Unable to Check for Updates" },
    { "更新失敗", "Update Failed" },
    { "更新資訊的格式不正確，無法辨識。", "The update information is invalid and cannot be read." },
    { "更新資訊未通過數位簽章驗證，可能已遭竄改；為了安全，已停止更新。",
        "The update information failed digital signature verification and may have been tampered with. The update "
        "was stopped for your safety." },
    { "更新資訊的格式較新，本版程式無法讀取，請至 ZELMAR 官網下載最新版本。",
        "The update information uses a newer format that this version cannot read. Please download the latest "
        "version from the ZELMAR website." },
    { "更新資訊不屬於本產品，已停止更新。", "The update information is not for this product. The update was stopped." },
    { "下載的安裝程式未通過完整性驗證（大小或雜湊值不符），已刪除。請稍後再試。",
        "The downloaded installer failed the integrity check (size or hash mismatch) and was deleted. Please try "
        "again later." },
    { "無法將安裝程式存入更新暫存資料夾。", "The installer could not be saved to the update folder." },
    { "已取消系統管理員權限確認，未安裝更新。",
        "The administrator permission prompt was cancelled. The update was not installed." },
    { "記錄進行中無法更新，請先停止記錄後再更新。",
        "Updates cannot be installed while recording. Please stop recording first." },
    { "正在檢查更新…", "Checking for updates..." },
    { "檢查更新", "Check for updates" },
    { "ZELMAR DMM-5174K", "ZELMAR DMM-5174K" },
    { "關於", "About" },
    { "ZELMAR", "ZELMAR" },
    { "ZELMAR 數位電錶連線記錄軟體。", "ZELMAR digital multimeter data logging software." },
    { "點擊此視窗外任意處即可關閉", "Click anywhere outside this window to close." },
    { "使用說明", "User Guide" },
    { kHelpZh, kHelpEn },
    { "（其他單位未顯示）", "(other units hidden)" },
    { "檢查更新(&C)...", "&Check for Updates..." },
    { "電錶顯示", "Meter display" },
    { "趨勢圖", "Trend chart" },
    { "尚無記錄的取樣。", "No samples recorded yet." },
    { "電池電量低", "low battery" },
    { "二極體", "diode" },
    { "導通", "continuity" },
    { "按下", "Press" },
    { "即時", "Live" },
    { "匯出圖表影像(&I)...", "Export Chart &Image..." },
    { "上下限與警報(&M)...", "Li&mits and Alarm..." },
    { "上下限與警報", "Limits and Alarm" },
    { "下限(&L)：", "&Low limit:" },
    { "上限(&H)：", "&High limit:" },
    { "讀值超出上下限時發出聲響(&B)", "&Beep when a reading is outside the limits" },
    { "留空表示不設該限值。讀值回到範圍內（留有 1% 的緩衝）時警報結束。",
        "Leave a field empty for no limit. The alarm ends when readings are back inside by 1% of the range." },
    { "請輸入數字，或留空。", "Enter a number, or leave the field empty." },
    { "下限不可大於上限。", "The low limit must not be above the high limit." },
    { "請先連接電錶：上下限屬於電錶目前的功能與單位。",
        "Connect the meter first: limits belong to the meter's current function and unit." },
    { "無法匯出圖表影像", "Cannot Export the Chart Image" },
    { "PNG 影像", "PNG Image" },
    { "OL", "OL" },
} };

} // namespace

std::string_view L10n::text(L10nKey key, AppLanguage language) noexcept
{
    const auto index = static_cast<std::size_t>(key);
    if (index >= kTable.size())
        return {};
    return language == AppLanguage::zhTW ? kTable[index].zhTW : kTable[index].enUS;
}

} // namespace zelmar
