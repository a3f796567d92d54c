#include "ui/main_window_model.h"

#include "core/text_encoding.h"

#include <algorithm>

namespace zelmar::ui {

bool isBlockedWhileRecording(CommandId id) noexcept
{
    switch (id) {
    case CommandId::newFile:
    case CommandId::open:
    case CommandId::save:
    case CommandId::saveAs:
    case CommandId::exportCsv:
    case CommandId::deleteRows:
    case CommandId::clearAll:
    case CommandId::newFileCard:
    case CommandId::openCard:
    case CommandId::saveCard:
        return true;
    default:
        return false;
    }
}

std::optional<long long> parseWholeNumber(std::string_view text) noexcept
{
    text = text::trimWhitespace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = std::min(n * 10 + (c - '0'), 1'000'000'000LL); // saturates far above any interval
    }
    return negative ? -n : n;
}

int clampInterval(long long n) noexcept
{
    return static_cast<int>(std::clamp<long long>(n, minimumInterval, maximumInterval));
}

int currentInterval(std::string_view fieldText, int committed) noexcept
{
    return clampInterval(parseWholeNumber(fieldText).value_or(committed));
}

IntervalCommit commitInterval(std::string_view fieldText, int committed) noexcept
{
    IntervalCommit result;
    result.interval = clampInterval(parseWholeNumber(fieldText).value_or(defaultInterval));
    result.fieldNeedsText = fieldText != std::to_string(result.interval);
    result.changed = result.interval != committed;
    return result;
}

ToolbarLayout toolbarLayout(int dpi, int intervalLabelTextWidth, int secondsTextWidth, int editHeight)
{
    ToolbarLayout t;
    t.bandHeight = scale(44, dpi);
    const int cardW = scale(36, dpi);
    const int cardH = scale(32, dpi);
    const int cardTop = (t.bandHeight - cardH) / 2;
    const int inGroup = scale(4, dpi);
    const int around = scale(8, dpi);
    const int line = scaleAtLeastOne(1, dpi);
    const int separatorH = scale(24, dpi);
    t.separatorTop = (t.bandHeight - separatorH) / 2;
    t.separatorBottom = t.separatorTop + separatorH;

    int x = around;
    auto card = [&](int index, bool lastOfGroup) {
        t.cards[static_cast<std::size_t>(index)] = { x, cardTop, x + cardW, cardTop + cardH };
        x += cardW + (lastOfGroup ? around : inGroup);
    };
    card(0, false);
    card(1, false);
    card(2, true);
    t.separators[0] = x;
    x += line + around;
    card(3, false);
    card(4, true);
    t.separators[1] = x;
    x += line + around;

    const int labelH = scale(20, dpi);
    const int labelTop = (t.bandHeight - labelH) / 2;
    const int labelW = std::max(scale(72, dpi), intervalLabelTextWidth);
    t.intervalLabel = { x, labelTop, x + labelW, labelTop + labelH };
    x += labelW + scale(4, dpi);

    const int padding = scale(6, dpi);
    const int frameH = scale(26, dpi);
    const int frameTop = (t.bandHeight - frameH) / 2;
    const int fieldW = scale(52, dpi);
    t.intervalFrame = { x, frameTop, x + fieldW + 2 * padding, frameTop + frameH };
    const int editH = std::min(editHeight, frameH - 2 * line);
    const int editTop = frameTop + (frameH - editH) / 2;
    t.intervalEdit = { x + padding, editTop, x + padding + fieldW, editTop + editH };
    x = t.intervalFrame.right + padding;

    t.secondsLabel = { x, labelTop, x + secondsTextWidth + scale(4, dpi), labelTop + labelH };
    return t;
}

std::optional<ContentLayout> contentLayout(int width, int height, int statusHeight, bool chartVisible, int dpi) noexcept
{
    const int margin = scale(8, dpi);
    const int gap = scale(8, dpi);
    ContentLayout l;
    l.content = { margin, scale(44, dpi) + margin, width - margin, height - statusHeight - margin };
    if (l.content.width() <= scale(100, dpi) || l.content.height() <= scale(100, dpi))
        return std::nullopt;

    const int upper = chartVisible ? std::max(l.content.height() * 55 / 100, scale(240, dpi))
                                   : std::min(l.content.height() * 40 / 100, scale(240, dpi));
    const int upperBottom = l.content.top + upper;
    if (chartVisible) {
        const int lcdW = (l.content.width() - gap) * 45 / 100;
        l.lcd = { l.content.left, l.content.top, l.content.left + lcdW, upperBottom };
        l.chart = { l.lcd.right + gap, l.content.top, l.content.right, upperBottom };
    } else {
        l.lcd = { l.content.left, l.content.top, l.content.right, upperBottom };
    }
    // The statistics line takes its height from the table, so the display
    // and the chart keep theirs.
    const int stripTop = upperBottom + scale(4, dpi);
    l.statistics = { l.content.left + scale(2, dpi), stripTop, l.content.right, stripTop + scale(20, dpi) };
    const int tableTop = l.statistics.bottom + scale(4, dpi);
    l.table = { l.content.left, tableTop, l.content.right, std::max(l.content.bottom, tableTop + scale(60, dpi)) };
    return l;
}

Rect fitIntoWorkArea(const Rect& window, const Rect& work) noexcept
{
    const int width = std::min(window.width(), work.width());
    const int height = std::min(window.height(), work.height());
    const int left = std::max(std::min(window.left, work.right - width), work.left);
    const int top = std::max(std::min(window.top, work.bottom - height), work.top);
    return { left, top, left + width, top + height };
}

std::array<int, 6> tableColumnWidths(int clientWidth, int scrollBarWidth, bool rowsOverflow, int dpi) noexcept
{
    const int usable = std::max(0, clientWidth - (rowsOverflow ? scrollBarWidth : 0));
    const int least = scale(30, dpi);
    const int fifteen = usable * 15 / 100;
    const int forty = usable * 40 / 100;
    const int rest = usable - 3 * fifteen - forty;
    return { 0, std::max(fifteen, least), std::max(fifteen, least), std::max(fifteen, least), std::max(forty, least),
        std::max(rest, least) };
}

std::vector<int> statusPartEdges(int width, std::optional<int> noticeTextWidth, int dpi)
{
    if (!noticeTextWidth)
        return { width * 38 / 100, width * 72 / 100, -1 };
    const int noticeWidth = *noticeTextWidth + scale(34, dpi);
    const int second = width * 58 / 100;
    const int third = std::min(std::max(second + scale(60, dpi), width - noticeWidth), width - scale(40, dpi));
    return { width * 32 / 100, second, third, -1 };
}

bool cardEnabled(ToolbarCard card, bool recording) noexcept
{
    return card == ToolbarCard::stop ? recording : !recording;
}

std::string cardTooltip(ToolbarCard card, bool recording, AppLanguage language)
{
    L10nKey key = L10nKey::tooltipNewFile;
    bool blocked = true;
    switch (card) {
    case ToolbarCard::newFile:
        break;
    case ToolbarCard::open:
        key = L10nKey::tooltipOpen;
        break;
    case ToolbarCard::save:
        key = L10nKey::tooltipSave;
        break;
    case ToolbarCard::start:
        key = L10nKey::tooltipStart;
        blocked = false;
        break;
    case ToolbarCard::stop:
        key = L10nKey::tooltipStop;
        blocked = false;
        break;
    }
    std::string text(L10n::text(key, language));
    if (blocked && recording) {
        text += '\n';
        text += L10n::text(L10nKey::tooltipUnavailableWhileRecording, language);
    }
    return text;
}

} // namespace zelmar::ui
