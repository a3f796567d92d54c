// The application controller's limits and alarm, and the chart picture:
// what the meter shows is checked against the limits of its function and
// unit, an alarm is shown, logged and optionally heard when one starts and
// ends, and the limits are kept in the settings.

#include "app/app_controller.h"

#include "core/diagnostic_log.h"
#include "session/session_time_format.h"
#include "storage/file_io.h"

#include <algorithm>

namespace zelmar {

namespace {

void logApp(std::string_view line)
{
    log::write(log::Module::app, line);
}

std::string limitText(std::optional<double> limit)
{
    return limit ? L10n::figure(*limit) : std::string("無");
}

} // namespace

Limits AppController::limitsOf(std::uint8_t function, const std::string& unit) const
{
    const auto found = std::find_if(settings_.limits.begin(), settings_.limits.end(),
        [&](const LimitsFor& l) { return l.function == function && l.unit == unit; });
    return found == settings_.limits.end() ? Limits {} : found->limits;
}

void AppController::onLiveReading(const Reading& reading)
{
    std::pair<std::uint8_t, std::string> key { reading.function().code(), reading.unit() };
    if (liveKey_ != key) {
        // Limits belong to one function and unit: another one ends the alarm.
        applyAlarmChange(alarm_.stop(reading.timestamp()), "功能或單位改變");
        alarm_ = AlarmMonitor(limitsOf(key.first, key.second));
        liveKey_ = std::move(key);
    }
    applyAlarmChange(alarm_.update(reading.value(), reading.timestamp()));
}

void AppController::applyAlarmChange(const std::optional<AlarmChange>& change, std::string_view endReason)
{
    if (!change || !liveKey_)
        return;
    const std::string& unit = liveKey_->second;
    const std::string at = SessionTimeFormat::dateTime(change->at);
    const Limits& limits = alarm_.limits();
    if (change->started) {
        const double value = change->value.value_or(0);
        logApp("警報開始：" + at + " 讀值 " + L10n::figure(value) + " " + unit + "（下限 " + limitText(limits.low)
            + "、上限 " + limitText(limits.high) + "）");
        const bool above = limits.high && value > *limits.high;
        view_->setAlarm(L10n::alarmStatus(language_, L10n::figure(value), unit, above,
            L10n::figure(above ? *limits.high : limits.low.value_or(0))));
        if (limits.beep)
            view_->beep();
        return;
    }
    if (change->value)
        logApp("警報結束：" + at + " 讀值 " + L10n::figure(*change->value) + " " + unit);
    else
        logApp("警報結束：" + at + "（" + std::string(endReason) + "）");
    view_->setAlarm(std::nullopt);
}

void AppController::editLimits()
{
    if (closing_)
        return;
    if (!liveKey_) {
        showMessage(MessageKind::information, L10nKey::limitsNeedReading, L10nKey::dialogLimitsTitle);
        return;
    }
    const auto key = *liveKey_;
    const std::string forWhat = L10n::limitsFor(language_, L10n::functionName(DmmFunction(key.first), language_),
        key.second);
    std::optional<Limits> answer;
    {
        const Question question(*this);
        answer = view_->askLimits(forWhat, limitsOf(key.first, key.second));
    }
    if (!answer || closing_)
        return;
    auto& list = settings_.limits;
    list.erase(std::remove_if(list.begin(), list.end(),
                   [&](const LimitsFor& l) { return l.function == key.first && l.unit == key.second; }),
        list.end());
    if (answer->any())
        list.push_back({ key.first, key.second, *answer });
    persistSettings();
    view_->setLimits(list);
    logApp("上下限已設定：功能 " + std::to_string(key.first) + " 單位 " + key.second + "（下限 "
        + limitText(answer->low) + "、上限 " + limitText(answer->high) + (answer->beep ? "、發出聲響" : "") + "）");
    // The meter may have moved on while the dialog was open.
    if (liveKey_ == key)
        applyAlarmChange(alarm_.setLimits(*answer, wallNow()), "上下限已變更");
}

void AppController::exportChartImage()
{
    if (closing_)
        return;
    const auto target = askSavePath(SessionTimeFormat::defaultFileName(wallNow(), "png"), ui::FileDialogType::png);
    if (!target || closing_)
        return;
    const std::vector<std::uint8_t> picture = view_->chartPicture();
    std::expected<void, StorageError> written = std::unexpected(StorageError {});
    if (!picture.empty()) {
        written = writeFileAtomically(std::filesystem::path(std::u8string(target->begin(), target->end())),
            std::string_view(reinterpret_cast<const char*>(picture.data()), picture.size()));
    }
    if (picture.empty() || !written) {
        const std::string description = picture.empty()
            ? std::string(language_ == AppLanguage::enUS ? "the chart could not be drawn" : "圖表無法繪製")
            : written.error().text();
        logApp("匯出圖表影像失敗（" + *target + "）：" + description);
        showMessage(MessageKind::error, L10n::exportFailed(language_, description), L10nKey::exportChartImageFailed);
        return;
    }
    rememberDirectory(*target);
    logApp("已匯出圖表影像（" + std::to_string(picture.size()) + " 位元組）：" + *target);
}

} // namespace zelmar
