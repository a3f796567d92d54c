#include "app/cli/terminal.h"

#include <regex>
#include <utility>

namespace zelmar::cli {

namespace {

struct Translation {
    std::regex pattern;
    const char* english;
};

const std::vector<Translation>& translations()
{
    static const std::vector<Translation> table = [] {
        const std::pair<const char*, const char*> rows[] = {
            { "版本：(.+)（來源 (.+)）", "version: $1 (from $2)" },
            { "警告：此程式以開發用更新金鑰建置（開發版本），不可作為正式版本發行",
                "warning: this program was built with the development update key (a development build) and must "
                "not be released" },
            { "輪詢執行緒已啟動（週期 (\\d+) ms）", "polling thread started (period $1 ms)" },
            { "輪詢執行緒已停止", "polling thread stopped" },
            { "輪詢執行緒無法啟動", "the polling thread could not be started" },
            { "輪詢執行緒因例外而結束：?(.*)", "the polling thread ended with an exception: $1" },
            { "回呼函式擲出例外：?(.*)", "a callback threw an exception: $1" },
            { "HID 已開啟，型號 （未回應）；等待電錶有效讀值",
                "HID opened, model (no answer); waiting for a valid reading" },
            { "HID 已開啟，型號 (.+)；等待電錶有效讀值", "HID opened, model $1; waiting for a valid reading" },
            { "連續讀取失敗 (\\d+) 次，判定斷線", "$1 reads failed in a row: meter disconnected" },
            { "開始記錄（目前 (\\d+) 筆）", "recording started ($1 records so far)" },
            { "停止記錄（保留 (\\d+) 筆）", "recording stopped ($1 records kept)" },
            { "已達 (\\d+) 筆上限，自動停止記錄", "the $1-record limit was reached; recording stopped" },
            { "緩衝檔寫入失敗：(.*)", "journal write failed: $1" },
            { "已恢復 (\\d+) 筆記錄（刪除筆數 (\\d+)）（尾端損毀已截斷）",
                "restored $1 records ($2 deleted; a damaged end was cut off)" },
            { "已恢復 (\\d+) 筆記錄（刪除筆數 (\\d+)）", "restored $1 records ($2 deleted)" },
            { "已放棄恢復並刪除緩衝檔", "recovery declined; the journal was deleted" },
            { "已清除殘留的緩衝檔側檔（無需恢復）", "removed a stale journal side file (nothing to recover)" },
            { "清除殘留側檔失敗：(.*)", "could not remove a stale journal side file: $1" },
            { "已匯出 CSV (\\d+) 列：(.*)", "exported $1 CSV rows: $2" },
        };
        std::vector<Translation> built;
        for (const auto& [chinese, english] : rows)
            built.push_back({ std::regex(std::string("^") + chinese + "$"), english });
        return built;
    }();
    return table;
}

} // namespace

std::string englishReason(std::string_view reason)
{
    // The storage layer's own texts: "無法建立檔案：PATH", "DETAIL（PATH）".
    static constexpr std::string_view cannotCreate = "無法建立檔案：";
    static constexpr std::string_view cannotEncode = "無法編碼資料：";
    static constexpr std::string_view open = "（";
    static constexpr std::string_view close = "）";
    if (reason.starts_with(cannotCreate))
        return "cannot create the file: " + std::string(reason.substr(cannotCreate.size()));
    if (reason.starts_with(cannotEncode))
        return "cannot encode the data: " + std::string(reason.substr(cannotEncode.size()));
    if (const auto at = reason.rfind(open); reason.ends_with(close) && at != std::string_view::npos && at > 0) {
        const std::string_view path = reason.substr(at + open.size(), reason.size() - at - open.size() - close.size());
        return englishReason(reason.substr(0, at)) + ": " + std::string(path);
    }
    static const std::pair<std::string_view, std::string_view> known[] = {
        { "不是一般檔案", "not a regular file" },
        { "無法讀取檔案", "the file cannot be read" },
        { "寫入不完整", "the write was incomplete (is the disk full?)" },
        { "檔案未開啟", "the file is not open" },
        { "檔案過大", "the file is too large" },
    };
    for (const auto& [chinese, english] : known)
        if (reason.starts_with(chinese))
            return std::string(english);
    return std::string(reason);
}

std::string englishDiagnostic(std::string_view line)
{
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const auto space = text.find("] ");
    if (text.empty() || text.front() != '[' || space == std::string::npos)
        return text;
    const std::string prefix = text.substr(0, space + 2);
    const std::string body = text.substr(space + 2);
    for (const Translation& t : translations()) {
        std::smatch match;
        if (!std::regex_match(body, match, t.pattern))
            continue;
        // A reason the storage layer gave rides along in the last group.
        std::string english = std::regex_replace(body, t.pattern, t.english);
        if (match.size() > 1 && english.ends_with(match[match.size() - 1].str())
            && match[match.size() - 1].length() > 0)
            english = english.substr(0, english.size() - match[match.size() - 1].length())
                + englishReason(match[match.size() - 1].str());
        return prefix + english;
    }
    return text;
}

bool isWarningDiagnostic(std::string_view line)
{
    for (std::string_view mark : { "警告", "寫入失敗", "例外", "無法" })
        if (line.find(mark) != std::string_view::npos)
            return true;
    return false;
}

Terminal::Terminal(std::FILE* lines, std::FILE* errors, std::FILE* statusOn, Verbosity verbosity, AppLanguage language)
    : lines_(lines)
    , errors_(errors)
    , statusOn_(statusOn)
    , verbosity_(verbosity)
    , language_(language)
{
    redirect_.emplace([this](std::string_view line) { diagnostic(line); });
}

bool Terminal::print(std::FILE* stream, const std::string& text)
{
    if (statusShown_ && statusOn_ != nullptr) {
        // Clear the status line; it is drawn again at the next tick.
        std::fputs("\r\x1b[K", statusOn_);
        std::fflush(statusOn_);
        statusShown_ = false;
    }
    std::fputs(text.c_str(), stream);
    std::fputc('\n', stream);
    return std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

bool Terminal::line(const std::string& text)
{
    std::lock_guard lock(mutex_);
    return print(lines_, text);
}

bool Terminal::errorLine(const std::string& text)
{
    std::lock_guard lock(mutex_);
    return print(errors_, text);
}

void Terminal::status(const std::string& text)
{
    std::lock_guard lock(mutex_);
    if (statusOn_ == nullptr)
        return;
    std::fprintf(statusOn_, "\r\x1b[K%s", text.c_str());
    std::fflush(statusOn_);
    statusShown_ = true;
}

void Terminal::endStatus()
{
    std::lock_guard lock(mutex_);
    if (statusShown_ && statusOn_ != nullptr) {
        std::fputc('\n', statusOn_);
        std::fflush(statusOn_);
    }
    statusShown_ = false;
}

void Terminal::diagnostic(std::string_view line)
{
    // Called by the log with its own lock held: no logging from here.
    if (verbosity_ == Verbosity::quiet || (verbosity_ == Verbosity::normal && !isWarningDiagnostic(line)))
        return;
    std::string text = language_ == AppLanguage::enUS ? englishDiagnostic(line) : std::string(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    std::lock_guard lock(mutex_);
    print(errors_, text);
}

} // namespace zelmar::cli
