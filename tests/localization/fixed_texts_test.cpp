// Every fixed text and every composed text in both languages, cell by cell
// as the product's text table has them; and no character in the Chinese
// texts that only Simplified Chinese uses, checked against the full
// simplified-to-traditional character table of OpenCC (generated at build
// time from the Debian package's dictionary).

#include "localization/localization.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace zelmar {
namespace {

using L = AppLanguage;

struct FixedText {
    L10nKey key;
    const char* zh;
    const char* en;
};

struct FixedName {
    int code;
    const char* zh;
    const char* en;
};

// Key, zh-TW, en-US; nullptr where the wording is ours to choose.
const FixedText kKeyTexts[] = {
    { L10nKey::menuFile, nullptr, "&File" },
    { L10nKey::menuEdit, nullptr, "&Edit" },
    { L10nKey::menuView, nullptr, "&View" },
    { L10nKey::menuHelp, nullptr, "&Help" },
    { L10nKey::fileNew, "新檔案(&N)\tCtrl+N", nullptr },
    { L10nKey::fileOpen, "開啟(&O)...\tCtrl+O", "&Open...\tCtrl+O" },
    { L10nKey::fileSave, "存檔(&S)\tCtrl+S", nullptr },
    { L10nKey::fileSaveAs, "另存新檔(&A)...\tCtrl+Shift+S", "Save &As...\tCtrl+Shift+S" },
    { L10nKey::fileExportCsv, "匯出 CSV(&E)...", "&Export CSV..." },
    { L10nKey::fileExit, "離開(&X)\tAlt+F4", nullptr },
    { L10nKey::editCopySelectedRows, "複製選取列(&C)\tCtrl+C", "&Copy Selected Rows\tCtrl+C" },
    { L10nKey::editSelectAll, "全選(&A)\tCtrl+A", "Select &All\tCtrl+A" },
    { L10nKey::editDeleteSelectedRows, "刪除選取列(&D)\tDel", "&Delete Selected Rows\tDel" },
    { L10nKey::editClearAllRecords, "清空記錄(&L)", "C&lear All Records" },
    { L10nKey::viewChart, "圖表(&C)", "&Chart" },
    { L10nKey::viewAlwaysOnTop, "永遠最上層(&T)", "Always on &Top" },
    { L10nKey::viewLanguage, "語言(Language)", "語言(Language)" },
    { L10nKey::viewLanguageZhTW, nullptr, "正體中文" },
    { L10nKey::viewLanguageEnUS, "English", "English" },
    { L10nKey::helpUsage, "使用說明(&U)\tF1", "&User Guide\tF1" },
    { L10nKey::helpAbout, "關於 DMM-5174K(&A)", "&About DMM-5174K" },
    { L10nKey::helpLicense, "授權條款(&L)", "&License Agreement" },
    { L10nKey::labelRecordInterval, nullptr, "Record Interval" },
    { L10nKey::labelSeconds, "秒", "sec" },
    { L10nKey::buttonNewFile, "新檔案", nullptr },
    { L10nKey::buttonStart, "啟動", nullptr },
    { L10nKey::buttonStop, "停止", "Stop" },
    { L10nKey::buttonSave, "存檔", "Save" },
    { L10nKey::buttonOpen, "開啟", "Open" },
    { L10nKey::tooltipStart, "開始記錄", "Start recording" },
    { L10nKey::tooltipStop, "停止記錄", "Stop recording" },
    { L10nKey::tooltipNewFile, "新檔案 (Ctrl+N)", "New (Ctrl+N)" },
    { L10nKey::tooltipOpen, "開啟 (Ctrl+O)", nullptr },
    { L10nKey::tooltipSave, "存檔 (Ctrl+S)", nullptr },
    { L10nKey::tooltipUnavailableWhileRecording, "記錄中無法使用", "Unavailable while recording" },
    { L10nKey::fileTypeZmd, "ZELMAR 量測資料", "ZELMAR Measurement Data" },
    { L10nKey::fileTypeCsv, nullptr, "CSV Files" },
    { L10nKey::fileTypeAll, nullptr, nullptr },
    { L10nKey::chartLabelUnit, nullptr, "Unit" },
    { L10nKey::chartLabelValue, "數值", nullptr },
    { L10nKey::chartLabelTime, "時間軸", "Time Axis" },
    { L10nKey::columnDate, "日期", "Date" },
    { L10nKey::columnTime, "時間", "Time" },
    { L10nKey::columnFunction, "檔位", "Function" },
    { L10nKey::columnValue, "數值", nullptr },
    { L10nKey::columnUnit, nullptr, "Unit" },
    { L10nKey::statusDisconnected, "未連線", nullptr },
    { L10nKey::statusReadError, nullptr, nullptr },
    { L10nKey::statusUsbHid, nullptr, "USB Connection" },
    { L10nKey::dialogRecoveryTitle, nullptr, nullptr },
    { L10nKey::buttonRestore, "恢復", "Restore" },
    { L10nKey::buttonDiscard, "放棄", "Discard" },
    { L10nKey::dialogRecordingCloseTitle, nullptr, "Confirm Close" },
    { L10nKey::dialogRecordingCloseBody, "記錄進行中，停止並關閉？", "Recording is in progress. Stop and close?" },
    { L10nKey::buttonStopAndClose, "停止並關閉", "Stop and Close" },
    { L10nKey::dialogUnsavedTitle, "未儲存的變更", "Unsaved Changes" },
    { L10nKey::dialogUnsavedBody, "目前記錄尚未存檔，是否存檔？",
        "The current recording has not been saved. Save changes?" },
    { L10nKey::buttonDontSave, nullptr, "Don't Save" },
    { L10nKey::dialogLimitReachedTitle, "已達記錄上限", "Recording Limit Reached" },
    { L10nKey::dialogLimitReachedBody, "已達 600,000 筆上限，請存檔或開新檔案。",
        "The 600,000-record limit has been reached. Please save or start a new file." },
    { L10nKey::dialogNewFileTitle, "新檔案", nullptr },
    { L10nKey::dialogNewFileBody, "將清空目前的記錄資料，確定要開新檔案嗎？",
        "This will clear the current recording data. Start a new file?" },
    { L10nKey::dialogDeleteRowsTitle, "刪除選取列", "Delete Selected Rows" },
    { L10nKey::dialogDeleteRowsBody, "確定要刪除選取的列嗎？", "Delete the selected rows?" },
    { L10nKey::buttonDelete, "刪除", "Delete" },
    { L10nKey::dialogClearAllTitle, "清空記錄", "Clear All Records" },
    { L10nKey::dialogClearAllBody, "確定要清空所有記錄嗎？此動作無法復原。",
        "Clear all records? This action cannot be undone." },
    { L10nKey::buttonClear, "清空", "Clear" },
    { L10nKey::dialogSaveFailedTitle, nullptr, nullptr },
    { L10nKey::dialogOpenFailedTitle, "無法開啟檔案", "Cannot Open File" },
    { L10nKey::dialogOpenNotZmdBody, "這不是 ZELMAR 量測資料檔（.zmd），或檔案結構已損壞。",
        "This is not a ZELMAR measurement data file (.zmd), or the file structure is damaged." },
    { L10nKey::dialogOpenTamperedBody, "檔案內容已被修改或損毀，數位簽章驗證未通過，無法開啟。",
        "The file has been modified or corrupted and failed digital signature verification. It cannot be opened." },
    { L10nKey::dialogOpenUnsupportedVersionBody, "此檔案由較新版本的程式建立，請更新軟體後再開啟。",
        "This file was created by a newer version of the software. Please update the software and try again." },
    { L10nKey::dialogExportFailedTitle, nullptr, "Export Failed" },
    { L10nKey::dialogJournalWriteFailedTitle, "緩衝檔寫入失敗", "Buffer Write Failed" },
    { L10nKey::dialogJournalWriteFailedBody, "緩衝檔寫入失敗，記錄仍會繼續，但當機時可能遺失資料。",
        "Failed to write the buffer file. Recording will continue, but data may be lost if the app crashes." },
    { L10nKey::buttonOK, "確定", "OK" },
    { L10nKey::buttonCancel, "取消", "Cancel" },
    { L10nKey::dialogOpenWhileRecordingBody, "記錄進行中，請先停止記錄後再開啟檔案。",
        "Recording is in progress. Stop recording before opening a file." },
    { L10nKey::dialogLicenseMissingBody, "找不到授權條款檔案（LICENSE.txt）。",
        "The license agreement file (LICENSE.txt) could not be found." },
    { L10nKey::dialogUpdateTitle, nullptr, "Software Update" },
    { L10nKey::dialogUpdateAvailableHeading, "有新版本可供更新", "A new version is available" },
    { L10nKey::dialogUpdateRequiredHeading, "有必要的更新", "A required update is available" },
    { L10nKey::dialogUpdateRequiredNote, "此為必要更新，請盡快安裝。",
        "This is a required update. Please install it as soon as possible." },
    { L10nKey::dialogUpdateInstallNote, "安裝時程式會自動關閉，完成後重新啟動。",
        "The application will close during installation and restart when it is finished." },
    { L10nKey::dialogUpdateNotesHeading, "更新說明：", nullptr },
    { L10nKey::dialogUpdateNoNotes, "（未提供更新說明）", "(No release notes provided)" },
    { L10nKey::buttonUpdateNow, nullptr, "Update Now" },
    { L10nKey::buttonRemindLater, nullptr, "Remind Me Later" },
    { L10nKey::dialogUpdateDownloadingHeading, "正在下載更新", "Downloading update" },
    { L10nKey::dialogUpdateCancelling, "正在取消下載，請稍候…", "Cancelling the download, please wait..." },
    { L10nKey::dialogUpdateCheckFailedTitle, "無法檢查更新", "Unable to Check for Updates" },
    { L10nKey::dialogUpdateFailedTitle, nullptr, "Update Failed" },
    { L10nKey::updateErrorManifestInvalid, "更新資訊的格式不正確，無法辨識。",
        "The update information is invalid and cannot be read." },
    { L10nKey::updateErrorManifestTampered, "更新資訊未通過數位簽章驗證，可能已遭竄改；為了安全，已停止更新。",
        "The update information failed digital signature verification and may have been tampered with. The update was "
        "stopped for your safety." },
    { L10nKey::updateErrorManifestUnsupported, "更新資訊的格式較新，本版程式無法讀取，請至 ZELMAR 官網下載最新版本。",
        "The update information uses a newer format that this version cannot read. Please download the latest version "
        "from the ZELMAR website." },
    { L10nKey::updateErrorManifestWrongProduct, "更新資訊不屬於本產品，已停止更新。",
        "The update information is not for this product. The update was stopped." },
    { L10nKey::updateErrorIntegrity, "下載的安裝程式未通過完整性驗證（大小或雜湊值不符），已刪除。請稍後再試。",
        "The downloaded installer failed the integrity check (size or hash mismatch) and was deleted. Please try again "
        "later." },
    { L10nKey::updateErrorStorage, "無法將安裝程式存入更新暫存資料夾。",
        "The installer could not be saved to the update folder." },
    { L10nKey::updateErrorElevationCancelled, "已取消系統管理員權限確認，未安裝更新。",
        "The administrator permission prompt was cancelled. The update was not installed." },
    { L10nKey::updateErrorRecording, "記錄進行中無法更新，請先停止記錄後再更新。",
        "Updates cannot be installed while recording. Please stop recording first." },
    { L10nKey::statusCheckingForUpdates, "正在檢查更新…", "Checking for updates..." },
    { L10nKey::aboutCheckForUpdates, nullptr, "Check for updates" },
    { L10nKey::appName, "ZELMAR DMM-5174K", "ZELMAR DMM-5174K" },
    { L10nKey::dialogAboutTitle, "關於", nullptr },
    { L10nKey::aboutCompany, "ZELMAR", "ZELMAR" },
    { L10nKey::aboutBodyText, "ZELMAR 數位電錶連線記錄軟體。", "ZELMAR digital multimeter data logging software." },
    { L10nKey::aboutCloseHint, "點擊此視窗外任意處即可關閉", "Click anywhere outside this window to close." },
    { L10nKey::dialogHelpTitle, nullptr, "User Guide" },
    { L10nKey::helpBodyText, nullptr, nullptr },
    { L10nKey::chartOtherUnitsHidden, "（其他單位未顯示）", "(other units hidden)" },
    { L10nKey::helpCheckForUpdates, "檢查更新(&C)...", "&Check for Updates..." },
    { L10nKey::accessibleMeterDisplay, "電錶顯示", "Meter display" },
    { L10nKey::accessibleTrendChart, "趨勢圖", "Trend chart" },
    { L10nKey::accessibleNoSamples, "尚無記錄的取樣。", "No samples recorded yet." },
    { L10nKey::accessibleLowBattery, "電池電量低", "low battery" },
    { L10nKey::accessibleDiode, "二極體", "diode" },
    { L10nKey::accessibleContinuity, "導通", "continuity" },
    { L10nKey::accessiblePress, "按下", "Press" },
    { L10nKey::chartLive, "即時", "Live" },
    { L10nKey::menuExportChartImage, "匯出圖表影像(&I)...", "Export Chart &Image..." },
    { L10nKey::menuLimits, "上下限與警報(&M)...", "Li&mits and Alarm..." },
    { L10nKey::dialogLimitsTitle, "上下限與警報", "Limits and Alarm" },
    { L10nKey::limitsLow, "下限(&L)：", "&Low limit:" },
    { L10nKey::limitsHigh, "上限(&H)：", "&High limit:" },
    { L10nKey::limitsBeep, "讀值超出上下限時發出聲響(&B)", "&Beep when a reading is outside the limits" },
    { L10nKey::limitsHint, nullptr, nullptr },
    { L10nKey::limitsNotANumber, "請輸入數字，或留空。", "Enter a number, or leave the field empty." },
    { L10nKey::limitsOrder, "下限不可大於上限。", "The low limit must not be above the high limit." },
    { L10nKey::limitsNeedReading, nullptr, nullptr },
    { L10nKey::exportChartImageFailed, "無法匯出圖表影像", "Cannot Export the Chart Image" },
    { L10nKey::fileTypePng, "PNG 影像", "PNG Image" },
    { L10nKey::overload, "OL", "OL" },
};

const FixedName kFunctionNames[] = {
    { 0, "交流電壓", "AC Voltage" }, // acv
    { 1, nullptr, "AC Millivolts" }, // acmV
    { 2, nullptr, nullptr }, // dcv
    { 3, nullptr, nullptr }, // dcmV
    { 4, "頻率", "Frequency" }, // hz
    { 5, "占空比", nullptr }, // dutyPercent
    { 6, "電阻", nullptr }, // ohm
    { 7, nullptr, nullptr }, // continuity
    { 8, "二極體", "Diode" }, // diode
    { 9, "電容", "Capacitance" }, // capacitance
    { 10, nullptr, "Temperature (°C)" }, // celsius
    { 11, nullptr, "Temperature (°F)" }, // fahrenheit
    { 12, nullptr, nullptr }, // dcMicroA
    { 13, nullptr, "AC Microamps" }, // acMicroA
    { 14, nullptr, nullptr }, // dcMilliA
    { 15, nullptr, "AC Milliamps" }, // acMilliA
    { 16, nullptr, "DC Current (10A)" }, // dcA10
    { 17, "交流 10A", "AC Current (10A)" }, // acA10
    { 18, nullptr, "Transistor (hFE)" }, // hfe
    { 19, nullptr, "Live Line Detection" }, // live
    { 20, "非接觸驗電", "Non-Contact Voltage" }, // ncv
    { 21, "低阻抗交流電壓", "Low-Z AC Voltage" }, // lozV
    { 22, "交流電流（鉗形表）", "AC Current (Clamp)" }, // acAClamp
    { 23, "直流電流（鉗形表）", "DC Current (Clamp)" }, // dcAClamp
    { 24, "LPF 交流電壓", "LPF AC Voltage" }, // lpfV
    { 25, "AC+DC 電壓", "AC+DC Voltage" }, // acDcV
    { 26, "LPF 交流電流", "LPF AC Current" }, // lpfAMeter
    { 27, nullptr, "AC+DC Current" }, // acDcAMeter
    { 28, "LPF 交流電流（鉗形表）", "LPF AC Current (Clamp)" }, // lpfAClamp
    { 29, "AC+DC 電流（鉗形表）", "AC+DC Current (Clamp)" }, // acDcAClamp
    { 30, "浪湧電流（鉗形表）", "Inrush Current (Clamp)" }, // inrush
};

TEST(LocalizedTexts, EveryFixedCellInBothLanguages)
{
    ASSERT_EQ(std::size(kKeyTexts), static_cast<std::size_t>(l10nKeyCount));
    for (std::size_t i = 0; i < std::size(kKeyTexts); ++i) {
        const FixedText& row = kKeyTexts[i];
        EXPECT_EQ(static_cast<std::size_t>(row.key), i);
        for (const auto& [language, expected] : { std::pair { L::zhTW, row.zh }, std::pair { L::enUS, row.en } }) {
            const auto text = L10n::text(row.key, language);
            if (expected != nullptr) {
                EXPECT_EQ(text, expected) << "key " << i;
            } else {
                EXPECT_FALSE(text.empty()) << "key " << i;
            }
        }
    }
    ASSERT_EQ(std::size(kFunctionNames), static_cast<std::size_t>(DmmFunction::knownCodeCount));
    for (const FixedName& row : kFunctionNames) {
        const DmmFunction function(static_cast<std::uint8_t>(row.code));
        if (row.zh != nullptr) {
            EXPECT_EQ(L10n::functionName(function, L::zhTW), row.zh) << row.code;
        }
        if (row.en != nullptr) {
            EXPECT_EQ(L10n::functionName(function, L::enUS), row.en) << row.code;
        }
    }
}

TEST(LocalizedTexts, EveryComposedTextInBothLanguages)
{
    EXPECT_EQ(L10n::statusConnected(L::enUS, "DMM-5174K"), "Connected: DMM-5174K");
    EXPECT_EQ(L10n::statusConnected(L::zhTW, "DMM-5174K"), "已連線: DMM-5174K");
    EXPECT_EQ(L10n::statusRecording(L::zhTW, 599001, true), "記錄中：第 599001 筆（接近上限）");
    EXPECT_EQ(L10n::statusRecording(L::enUS, 7, false), "Recording: #7");
    EXPECT_EQ(L10n::openRefusedOtherModel(L::zhTW, "DMM-9"), "此檔案為「DMM-9」的量測資料，本程式不支援此機型。");
    EXPECT_EQ(L10n::openFailed(L::zhTW, "D"), "開啟失敗：D");
    EXPECT_EQ(L10n::openFailed(L::enUS, "D"), "Failed to open the file: D");
    EXPECT_EQ(L10n::saveFailed(L::zhTW, "D"), "存檔失敗：D");
    EXPECT_EQ(L10n::saveFailed(L::enUS, "D"), "Save failed: D");
    EXPECT_EQ(L10n::exportFailed(L::zhTW, "D"), "匯出失敗：D");
    EXPECT_EQ(L10n::exportFailed(L::enUS, "D"), "Export failed: D");
    EXPECT_EQ(L10n::versionLine(L::zhTW, "1.2.3"), "版本 1.2.3");
    EXPECT_EQ(L10n::versionLine(L::enUS, "1.2.3"), "Version 1.2.3");
    EXPECT_EQ(L10n::updateAvailable(L::zhTW, "1.4.0"), "有新版本 1.4.0");
    EXPECT_EQ(L10n::updateAvailable(L::enUS, "1.4.0"), "Update available: 1.4.0");
    EXPECT_EQ(L10n::downloadingPercent(L::zhTW, 42), "正在下載更新…42%");
    EXPECT_EQ(L10n::downloadingPercent(L::enUS, 42), "Downloading update... 42%");
    EXPECT_EQ(L10n::upToDate(L::zhTW, "1.0.0"), "目前已是最新版本（1.0.0）。");
    EXPECT_EQ(L10n::updatePromptFacts(L::zhTW, "2025-01-02", "1.5 MB"), "發佈日期：2025-01-02\u3000大小：1.5 MB");
    EXPECT_EQ(L10n::downloadProgress(L::enUS, "1.0 MB", "2.0 MB", 50), "Downloaded 1.0 MB of 2.0 MB (50%)");
    EXPECT_EQ(L10n::manifestNetworkError(L::enUS, 12029),
        "Unable to connect to the update server. Please check your network connection and try again. (Error code "
        "12029)");
    EXPECT_EQ(L10n::manifestHttpStatus(L::zhTW, 404), "更新伺服器上目前沒有本軟體的更新資訊，請稍後再試。（HTTP 404）");
    EXPECT_EQ(L10n::manifestHttpStatus(L::zhTW, 503),
        "目前無法取得更新資訊：更新伺服器回應錯誤（HTTP "
        "503），可能是伺服器暫時故障或尚未提供本軟體的更新資訊，請稍後再試。");
    EXPECT_EQ(L10n::manifestHttpStatus(L::enUS, 503),
        "Unable to get update information: the update server returned an error (HTTP 503). The server may be "
        "temporarily unavailable or may not provide updates for this software yet. Please try again later.");
    EXPECT_EQ(
        L10n::installerNetworkError(L::zhTW, 12002), "下載安裝程式失敗，請確認網路連線後再試一次。（錯誤代碼 12002）");
    EXPECT_EQ(L10n::installerNetworkError(L::enUS, 12002),
        "Failed to download the installer. Please check your network connection and try again. (Error code 12002)");
    EXPECT_EQ(L10n::installerHttpStatus(L::zhTW, 404), "下載安裝程式失敗：伺服器回應錯誤（HTTP 404），請稍後再試。");
    EXPECT_EQ(L10n::installerHttpStatus(L::enUS, 404),
        "Failed to download the installer: the server returned an error (HTTP 404). Please try again later.");
    EXPECT_EQ(L10n::installerLaunchFailed(L::enUS, 5),
        "The installer could not be started (error code 5). The update was not installed.");
}

// Every character the table maps to something other than itself: those
// exist only in Simplified Chinese.
std::set<std::string> simplifiedOnlyCharacters()
{
    std::ifstream in(testing::hostPath(ZELMAR_SIMPLIFIED_TABLE));
    std::set<std::string> characters;
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string simplified = line.substr(0, tab);
        std::istringstream targets(line.substr(tab + 1));
        std::string target;
        bool alsoTraditional = false;
        while (targets >> target)
            alsoTraditional = alsoTraditional || target == simplified;
        if (!alsoTraditional)
            characters.insert(simplified);
    }
    return characters;
}

// The UTF-8 characters of a text, one string each.
std::vector<std::string> charactersOf(std::string_view text)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        out.emplace_back(text.substr(i, length));
        i += length;
    }
    return out;
}

TEST(LocalizedTexts, NoSimplifiedOnlyCharacterInTheChineseTexts)
{
    const auto simplified = simplifiedOnlyCharacters();
    ASSERT_GT(simplified.size(), 2000u) << "the character table was not generated";
    // The table itself is sound: these are Simplified-only, these are not.
    for (const char* s : { "电", "录", "档", "设", "压", "钳", "数" })
        EXPECT_TRUE(simplified.count(s)) << s;
    for (const char* t : { "電", "錄", "檔", "設", "壓", "鉗", "數", "位" })
        EXPECT_FALSE(simplified.count(t)) << t;

    std::vector<std::string> texts;
    for (int k = 0; k < l10nKeyCount; ++k)
        texts.emplace_back(L10n::text(static_cast<L10nKey>(k), L::zhTW));
    for (int code = 0; code < 256; ++code)
        texts.push_back(L10n::functionName(DmmFunction(static_cast<std::uint8_t>(code)), L::zhTW));
    texts.push_back(L10n::statusRecording(L::zhTW, 1, true));
    texts.push_back(L10n::recoveryQuestion(L::zhTW, 1, "A", "B"));
    texts.push_back(L10n::openRefusedOtherModel(L::zhTW, "X"));
    texts.push_back(L10n::manifestHttpStatus(L::zhTW, 500));
    texts.push_back(L10n::updatePromptFacts(L::zhTW, "d", "s"));
    texts.push_back(L10n::downloadProgress(L::zhTW, "a", "b", 1));
    for (const std::string& text : texts)
        for (const std::string& c : charactersOf(text))
            EXPECT_FALSE(simplified.count(c)) << "\"" << c << "\" in: " << text;
}

} // namespace
} // namespace zelmar
