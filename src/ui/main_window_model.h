#pragma once

// The main window without a window: its command numbers, which commands
// recording disables, the interval field's commit rule, and where every child
// goes at a client size and DPI. The Win32 window (main_window_win32.cpp)
// applies these; the tests check them in both builds.

#include "localization/localization.h"
#include "ui/geometry.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::ui {

// Menu items, accelerators and controls share one numbering.
enum class CommandId : int {
    newFile = 1001,
    save = 1002,
    saveAs = 1003,
    exit = 1004,
    open = 1005,
    exportCsv = 1006,
    exportChartImage = 1007,
    copyRows = 1010,
    selectAll = 1011,
    deleteRows = 1012,
    clearAll = 1013,
    limits = 1014,
    chart = 1020,
    alwaysOnTop = 1021,
    languageZhTW = 1022,
    languageEnUS = 1023,
    usageHelp = 1030,
    about = 1031,
    license = 1034,
    checkForUpdates = 1035,
    intervalField = 1100,
    newFileCard = 1101,
    startCard = 1102,
    saveCard = 1103,
    stopCard = 1104,
    openCard = 1105,
    lcdPanel = 1110,
    chartView = 1111,
    recordTable = 1112,
    statusBar = 1113,
};

[[nodiscard]] constexpr int commandNumber(CommandId id) noexcept
{
    return static_cast<int>(id);
}

// The commands that change the working set and are ignored (and greyed in
// the menus) while recording.
[[nodiscard]] bool isBlockedWhileRecording(CommandId id) noexcept;

// The interval field.
inline constexpr int minimumInterval = 1;
inline constexpr int maximumInterval = 3600;
inline constexpr int defaultInterval = 10;
inline constexpr int intervalFieldMaxChars = 4;

// The whole number in the text (an optional sign and digits only, with
// surrounding white space), saturating far beyond the interval's range; none
// for anything else.
[[nodiscard]] std::optional<long long> parseWholeNumber(std::string_view text) noexcept;
[[nodiscard]] int clampInterval(long long n) noexcept;
// What the field means now without committing: its number, or the
// committed interval when it holds none; clamped.
[[nodiscard]] int currentInterval(std::string_view fieldText, int committed) noexcept;
// Leaving the field: empty or not a whole number gives the default.
struct IntervalCommit {
    int interval = defaultInterval;
    bool fieldNeedsText = false; // the field's text differs from the number
    bool changed = false; // the number differs from the committed interval
};
[[nodiscard]] IntervalCommit commitInterval(std::string_view fieldText, int committed) noexcept;

// The toolbar band at the top of the client area.
struct ToolbarLayout {
    std::array<Rect, 5> cards; // New File, Open, Save, Start, Stop
    std::array<int, 2> separators {}; // x of the 1-pixel lines
    int separatorTop = 0;
    int separatorBottom = 0;
    Rect intervalLabel;
    Rect intervalFrame;
    Rect intervalEdit;
    Rect secondsLabel;
    int bandHeight = 0;
};
// Text widths are measured by the caller in the interface font.
[[nodiscard]] ToolbarLayout toolbarLayout(int dpi, int intervalLabelTextWidth, int secondsTextWidth, int editHeight);

// The children below the toolbar for a client of width × height with a
// status bar statusHeight high; none when the content area is too small.
struct ContentLayout {
    Rect content;
    Rect lcd;
    Rect chart; // empty when the chart is hidden
    Rect statistics; // one line of text under the display and the chart
    Rect table;
};
[[nodiscard]] std::optional<ContentLayout> contentLayout(
    int width, int height, int statusHeight, bool chartVisible, int dpi) noexcept;

// The window always fits the work area of its monitor: a rectangle no
// larger than the area, moved inside it (its top-left corner first, so the
// caption stays reachable).
[[nodiscard]] Rect fitIntoWorkArea(const Rect& window, const Rect& work) noexcept;

// Widths of the table's six columns (the hidden first one is 0).
[[nodiscard]] std::array<int, 6> tableColumnWidths(
    int clientWidth, int scrollBarWidth, bool rowsOverflow, int dpi) noexcept;

// Right edges of the status bar's parts: three without an update notice,
// four with one (its text's width in the status font).
[[nodiscard]] std::vector<int> statusPartEdges(int width, std::optional<int> noticeTextWidth, int dpi);
inline constexpr int nearLimitRecords = 590'000;

// A toolbar card's tooltip, with the reason it is unavailable while recording.
enum class ToolbarCard { newFile, open, save, start, stop };
[[nodiscard]] std::string cardTooltip(ToolbarCard card, bool recording, AppLanguage language);
[[nodiscard]] bool cardEnabled(ToolbarCard card, bool recording) noexcept;

// The window's colours.
namespace main_window_colors {
inline constexpr Rgb band = Rgb::fromHex(0xFFFFFF);
inline constexpr Rgb bandLine = Rgb::fromHex(0xD6DAE0);
inline constexpr Rgb background = Rgb::fromHex(0xF0F0F0);
inline constexpr Rgb text = Rgb::fromHex(0x1C1E22);
inline constexpr Rgb mutedText = Rgb::fromHex(0x686E76);
inline constexpr Rgb link = Rgb::fromHex(0x1565C0);
inline constexpr Rgb nearLimit = Rgb::fromHex(0xC63C0C);
inline constexpr Rgb frameBorder = Rgb::fromHex(0xC8CCD2);
inline constexpr Rgb frameFillRecording = Rgb::fromHex(0xF3F4F6);
inline constexpr Rgb frameBorderRecording = Rgb::fromHex(0xE1E4E8);
inline constexpr Rgb separator = Rgb::fromHex(0xD6DAE0);
inline constexpr Rgb alarm = Rgb::fromHex(0xD32F2F);
} // namespace main_window_colors

} // namespace zelmar::ui
