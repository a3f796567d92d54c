#pragma once

// The record table without a window: the text of every cell, the clipboard
// text of selected rows, and when the table keeps following the newest row.
// The list view (record_table_view_win32.cpp) asks for these on demand; no
// row is ever copied into it.

#include "core/reading.h"
#include "localization/localization.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace zelmar::ui {

using RowProvider = std::function<std::optional<Reading>(std::size_t row)>;

// Column 0 is a hidden placeholder; 1 to 5 are date, time, function, value
// and unit.
inline constexpr int recordTableColumns = 6;
inline constexpr int valueColumn = 4;
enum class ColumnAlign { left, centre, right };
[[nodiscard]] ColumnAlign columnAlign(int column) noexcept;
[[nodiscard]] std::string columnTitle(int column, AppLanguage language);

// One cell's text; empty for column 0, for no reading and out of range.
[[nodiscard]] std::string cellText(const std::optional<Reading>& reading, int column, AppLanguage language);

// The rows' five cells joined by tabs, rows by CR LF, no header and no
// trailing line break; a row the provider does not have gives empty cells.
[[nodiscard]] std::string clipboardText(
    std::span<const std::size_t> rows, const RowProvider& rowAt, AppLanguage language);

// After the user scrolled, clicked or pressed a key: whether the view shows
// the last row, so new rows keep scrolling it.
[[nodiscard]] bool followsLatest(std::size_t itemCount, std::size_t topIndex, std::size_t fullyVisibleRows) noexcept;

// The UTF-16 text cut to at most maxUnits units, never halving a surrogate pair.
[[nodiscard]] std::u16string cutToUnits(std::u16string text, std::size_t maxUnits);

} // namespace zelmar::ui
