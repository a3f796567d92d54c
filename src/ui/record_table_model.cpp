#include "ui/record_table_model.h"

#include "session/session_time_format.h"

namespace zelmar::ui {

ColumnAlign columnAlign(int column) noexcept
{
    switch (column) {
    case 4:
        return ColumnAlign::right;
    case 0:
    case 5:
        return ColumnAlign::left;
    default:
        return ColumnAlign::centre;
    }
}

std::string columnTitle(int column, AppLanguage language)
{
    static constexpr L10nKey keys[] = { L10nKey::columnDate, L10nKey::columnTime, L10nKey::columnFunction,
        L10nKey::columnValue, L10nKey::columnUnit };
    if (column < 1 || column >= recordTableColumns)
        return {};
    return std::string(L10n::text(keys[column - 1], language));
}

std::string cellText(const std::optional<Reading>& reading, int column, AppLanguage language)
{
    if (!reading)
        return {};
    switch (column) {
    case 1:
        return SessionTimeFormat::date(reading->timestamp());
    case 2:
        return SessionTimeFormat::time(reading->timestamp());
    case 3:
        return L10n::functionName(reading->function(), language);
    case 4:
        return reading->value() ? reading->text() : std::string(L10n::text(L10nKey::overload, language));
    case 5:
        return reading->unit();
    default:
        return {};
    }
}

std::string clipboardText(std::span<const std::size_t> rows, const RowProvider& rowAt, AppLanguage language)
{
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        const auto reading = rowAt ? rowAt(rows[i]) : std::nullopt;
        for (int column = 1; column < recordTableColumns; ++column) {
            if (column > 1)
                text += '\t';
            text += cellText(reading, column, language);
        }
    }
    return text;
}

bool followsLatest(std::size_t itemCount, std::size_t topIndex, std::size_t fullyVisibleRows) noexcept
{
    return itemCount == 0 || fullyVisibleRows == 0 || topIndex + fullyVisibleRows >= itemCount;
}

std::u16string cutToUnits(std::u16string text, std::size_t maxUnits)
{
    if (text.size() <= maxUnits)
        return text;
    std::size_t end = maxUnits;
    if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF)
        --end; // a high surrogate whose partner would be cut off
    text.resize(end);
    return text;
}

} // namespace zelmar::ui
