#include "localization/localization.h"

#include <array>
#include <cstdio>

namespace zelmar {

namespace {

using Lang = AppLanguage;

struct Names {
    std::string_view zhTW;
    std::string_view enUS;
};

// Function names in the order of the known codes 0..30.
constexpr std::array<Names, DmmFunction::knownCodeCount> kFunctionNames { {
    { "交流電壓", "AC Voltage" },
    { "交流毫伏", "AC Millivolts" },
    { "直流電壓", "DC Voltage" },
    { "直流毫伏", "DC Millivolts" },
    { "頻率", "Frequency" },
    { "占空比", "Duty Cycle" },
    { "電阻", "Resistance" },
    { "導通", "Continuity" },
    { "二極體", "Diode" },
    { "電容", "Capacitance" },
    { "溫度（°C）", "Temperature (°C)" },
    { "溫度（°F）", "Temperature (°F)" },
    { "直流微安", "DC Microamps" },
    { "交流微安", "AC Microamps" },
    { "直流毫安", "DC Milliamps" },
    { "交流毫安", "AC Milliamps" },
    { "直流 10A", "DC Current (10A)" },
    { "交流 10A", "AC Current (10A)" },
    { "電晶體（hFE）", "Transistor (hFE)" },
    { "火線檢測", "Live Line Detection" },
    { "非接觸驗電", "Non-Contact Voltage" },
    { "低阻抗交流電壓", "Low-Z AC Voltage" },
    { "交流電流（鉗形表）", "AC Current (Clamp)" },
    { "直流電流（鉗形表）", "DC Current (Clamp)" },
    { "LPF 交流電壓", "LPF AC Voltage" },
    { "AC+DC 電壓", "AC+DC Voltage" },
    { "LPF 交流電流", "LPF AC Current" },
    { "AC+DC 電流", "AC+DC Current" },
    { "LPF 交流電流（鉗形表）", "LPF AC Current (Clamp)" },
    { "AC+DC 電流（鉗形表）", "AC+DC Current (Clamp)" },
    { "浪湧電流（鉗形表）", "Inrush Current (Clamp)" },
} };

std::string number(std::int64_t n)
{
    return std::to_string(n);
}

std::string pick(Lang language, std::string zh, std::string en)
{
    return language == Lang::zhTW ? std::move(zh) : std::move(en);
}

std::string str(std::string_view s)
{
    return std::string(s);
}

} // namespace

std::string_view languageCode(AppLanguage language) noexcept
{
    return language == AppLanguage::zhTW ? "zh-TW" : "en-US";
}

std::optional<AppLanguage> parseLanguageCode(std::string_view code) noexcept
{
    if (code == "zh-TW")
        return AppLanguage::zhTW;
    if (code == "en-US")
        return AppLanguage::enUS;
    return std::nullopt;
}

namespace L10n {

std::string functionName(DmmFunction function, AppLanguage language)
{
    if (function.isUnknown()) {
        char text[48];
        std::snprintf(text, sizeof text, language == Lang::zhTW ? "未知檔位(0x%02X)" : "Unknown (0x%02X)",
            static_cast<unsigned>(function.code()));
        return text;
    }
    const Names& names = kFunctionNames[function.code()];
    return str(language == Lang::zhTW ? names.zhTW : names.enUS);
}

std::string windowTitle(std::optional<std::string_view> fileName, bool unsaved)
{
    if (!fileName)
        return "ZELMAR DMM-5174K";
    return str(*fileName) + (unsaved ? " *" : "") + " - ZELMAR DMM-5174K";
}

std::string statusConnected(Lang l, std::string_view model)
{
    return pick(l, "已連線: " + str(model), "Connected: " + str(model));
}

std::string statusRecording(Lang l, std::int64_t n, bool nearLimit)
{
    return pick(l, "記錄中：第 " + number(n) + " 筆" + (nearLimit ? "（接近上限）" : ""),
        "Recording: #" + number(n) + (nearLimit ? " (Near Limit)" : ""));
}

std::string recoveryQuestion(Lang l, std::int64_t n, std::string_view from, std::string_view to)
{
    return pick(l,
        "偵測到上次程式未正常結束所留下的 " + number(n) + " 筆記錄（時間範圍 " + str(from) + "～" + str(to)
            + "）。是否恢復這些資料？",
        "Detected " + number(n) + " record(s) left from the last unexpected shutdown (time range " + str(from) + " - "
            + str(to) + "). Restore this data?");
}

std::string openRefusedOtherModel(Lang l, std::string_view model)
{
    return pick(l, "此檔案為「" + str(model) + "」的量測資料，本程式不支援此機型。",
        "This file contains measurement data from \"" + str(model) + "\", which this software does not support.");
}

std::string openFailed(Lang l, std::string_view d)
{
    return pick(l, "開啟失敗：" + str(d), "Failed to open the file: " + str(d));
}

std::string saveFailed(Lang l, std::string_view d)
{
    return pick(l, "存檔失敗：" + str(d), "Save failed: " + str(d));
}

std::string exportFailed(Lang l, std::string_view d)
{
    return pick(l, "匯出失敗：" + str(d), "Export failed: " + str(d));
}

std::string dataDirectoryInUse(Lang l, std::string_view detail)
{
    return pick(l, "另一個記錄程式（或主程式）正在使用這個資料夾，無法同時記錄：" + str(detail),
        "another logger (or the main program) is recording into this data directory: " + str(detail));
}

std::string versionLine(Lang l, std::string_view v)
{
    return pick(l, "版本 " + str(v), "Version " + str(v));
}

std::string updateAvailable(Lang l, std::string_view v)
{
    return pick(l, "有新版本 " + str(v), "Update available: " + str(v));
}

std::string downloadingPercent(Lang l, std::int64_t percent)
{
    return pick(l, "正在下載更新…" + number(percent) + "%", "Downloading update... " + number(percent) + "%");
}

std::string upToDate(Lang l, std::string_view v)
{
    return pick(l, "目前已是最新版本（" + str(v) + "）。", "You're using the latest version (" + str(v) + ").");
}

std::string updatePromptVersions(Lang l, std::string_view current, std::string_view next)
{
    // The zh-TW blanks round the arrow are U+3000 IDEOGRAPHIC SPACE.
    return pick(l, "目前版本：" + str(current) + "\u3000→\u3000新版本：" + str(next),
        "Current version: " + str(current) + "  →  New version: " + str(next));
}

std::string updatePromptFacts(Lang l, std::string_view date, std::string_view size)
{
    return pick(l, "發佈日期：" + str(date) + "\u3000大小：" + str(size),
        "Release date: " + str(date) + "   Size: " + str(size));
}

std::string downloadProgress(Lang l, std::string_view done, std::string_view total, std::int64_t percent)
{
    return pick(l, "已下載 " + str(done) + "／" + str(total) + "（" + number(percent) + "%）",
        "Downloaded " + str(done) + " of " + str(total) + " (" + number(percent) + "%)");
}

std::string manifestNetworkError(Lang l, std::int64_t code)
{
    return pick(l, "無法連線到更新伺服器，請確認網路連線後再試一次。（錯誤代碼 " + number(code) + "）",
        "Unable to connect to the update server. Please check your network connection and try again. (Error code "
            + number(code) + ")");
}

std::string manifestHttpStatus(Lang l, std::int64_t status)
{
    if (status == 404)
        return pick(l, "更新伺服器上目前沒有本軟體的更新資訊，請稍後再試。（HTTP 404）",
            "The update server has no update information for this software yet. Please try again later. (HTTP 404)");
    return pick(l,
        "目前無法取得更新資訊：更新伺服器回應錯誤（HTTP " + number(status)
            + "），可能是伺服器暫時故障或尚未提供本軟體的更新資訊，請稍後再試。",
        "Unable to get update information: the update server returned an error (HTTP " + number(status)
            + "). The server may be temporarily unavailable or may not provide updates for this software yet. "
              "Please try again later.");
}

std::string installerNetworkError(Lang l, std::int64_t code)
{
    return pick(l, "下載安裝程式失敗，請確認網路連線後再試一次。（錯誤代碼 " + number(code) + "）",
        "Failed to download the installer. Please check your network connection and try again. (Error code "
            + number(code) + ")");
}

std::string installerHttpStatus(Lang l, std::int64_t status)
{
    return pick(l, "下載安裝程式失敗：伺服器回應錯誤（HTTP " + number(status) + "），請稍後再試。",
        "Failed to download the installer: the server returned an error (HTTP " + number(status)
            + "). Please try again later.");
}

std::string installerLaunchFailed(Lang l, std::int64_t code)
{
    return pick(l, "無法啟動安裝程式（錯誤代碼 " + number(code) + "），未安裝更新。",
        "The installer could not be started (error code " + number(code) + "). The update was not installed.");
}

std::string chartDescription(Lang l, std::int64_t samples, std::string_view unit, std::string_view from,
    std::string_view to, std::string_view minimum, std::string_view maximum)
{
    const std::string n = std::to_string(samples);
    const std::string u = unit.empty() ? std::string() : " " + str(unit);
    return pick(l,
        n + " 筆取樣，" + str(from) + " 至 " + str(to) + "，最小 " + str(minimum) + u + "，最大 " + str(maximum) + u
            + "。",
        n + (samples == 1 ? " sample" : " samples") + " from " + str(from) + " to " + str(to) + ", minimum "
            + str(minimum) + u + ", maximum " + str(maximum) + u + ".");
}

std::string figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string statisticsStrip(
    Lang l, bool visibleRange, std::string_view function, std::string_view unit, const RunningStatistics& s)
{
    std::string text = pick(l, visibleRange ? "統計（目前顯示範圍）" : "統計（全部記錄）",
                           visibleRange ? "Statistics (visible range)" : "Statistics (whole recording)")
        + "  " + str(function) + (unit.empty() ? "" : " [" + str(unit) + "]") + pick(l, "：", ":");
    text += pick(l, "  筆數 ", "  count ") + std::to_string(s.count());
    if (s.values() > 0) {
        text += pick(l, "  最小 ", "  min ") + figure(s.minimum()) + pick(l, "  最大 ", "  max ") + figure(s.maximum())
            + pick(l, "  平均 ", "  mean ") + figure(s.mean()) + pick(l, "  標準差 ", "  sd ") + figure(s.deviation());
    }
    if (s.overloads() > 0)
        text += "  OL " + std::to_string(s.overloads());
    return text;
}

std::string statisticsNone(Lang l)
{
    return pick(l, "統計：尚無記錄的取樣。", "Statistics: no samples recorded yet.");
}

std::string alarmStatus(Lang l, std::string_view value, std::string_view unit, bool above, std::string_view limit)
{
    const std::string u = unit.empty() ? std::string() : " " + str(unit);
    return above ? pick(l, "警報：" + str(value) + u + " 高於上限 " + str(limit) + u,
               "Alarm: " + str(value) + u + " above the high limit " + str(limit) + u)
                 : pick(l, "警報：" + str(value) + u + " 低於下限 " + str(limit) + u,
                     "Alarm: " + str(value) + u + " below the low limit " + str(limit) + u);
}

std::string limitsFor(Lang l, std::string_view function, std::string_view unit)
{
    const std::string u = unit.empty() ? std::string() : " [" + str(unit) + "]";
    return pick(l, "設定對象：" + str(function) + u, "For " + str(function) + u);
}

std::string byteSize(std::uint64_t bytes)
{
    if (bytes < 1'048'576)
        return std::to_string((bytes + 1023) / 1024) + " KB";
    const std::uint64_t tenths = (bytes * 10 + 524'288) / 1'048'576;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

} // namespace L10n

} // namespace zelmar
