// The main window's arithmetic and texts without a window: the interval
// field's rules, where every child goes, the table's cells and clipboard
// text, the dialogs' texts and the dispatcher's ordering across threads.

#include "session/session_time_format.h"
#include "ui/dialog_texts.h"
#include "ui/main_window_model.h"
#include "ui/record_table_model.h"
#include "ui/ui_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace zelmar;
using namespace zelmar::ui;

namespace {

bool overlaps(const Rect& a, const Rect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool within(const Rect& inner, const Rect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
        && inner.bottom <= outer.bottom;
}

} // namespace

TEST(IntervalField, CommitRules)
{
    struct Case {
        const char* typed;
        int interval;
        bool fieldNeedsText;
    };
    for (const auto& c : { Case { "0", 1, true }, Case { "abc", 10, true }, Case { "", 10, true },
             Case { "9999", 3600, true }, Case { "  25 ", 25, true }, Case { "+7", 7, true }, Case { "-3", 1, true },
             Case { "30", 30, false }, Case { "1e3", 10, true }, Case { "99999999999999999999", 3600, true } }) {
        const auto commit = commitInterval(c.typed, 10);
        EXPECT_EQ(commit.interval, c.interval) << c.typed;
        EXPECT_EQ(commit.fieldNeedsText, c.fieldNeedsText) << c.typed;
        EXPECT_EQ(commit.changed, c.interval != 10) << c.typed;
    }
    // Reading the field without committing keeps the committed value for
    // text that is not a number (Start uses this before it commits).
    EXPECT_EQ(currentInterval("abc", 42), 42);
    EXPECT_EQ(currentInterval("", 42), 42);
    EXPECT_EQ(currentInterval("5000", 42), 3600);
    EXPECT_EQ(currentInterval(" 0 ", 42), 1);
}

TEST(MainLayout, NothingOverlapsOrIsCutOffAtEitherSizeAndDpi)
{
    for (int dpi : { 96, 144 }) {
        for (auto [w, h] : { std::pair { 1200, 820 }, std::pair { 960, 720 } }) {
            const int width = scale(w, dpi);
            const int height = scale(h, dpi);
            const int status = scale(22, dpi);
            for (bool chart : { true, false }) {
                const auto l = contentLayout(width, height, status, chart, dpi);
                ASSERT_TRUE(l) << w << "x" << h << " at " << dpi;
                const Rect client { 0, scale(44, dpi), width, height - status };
                EXPECT_TRUE(within(l->lcd, client));
                EXPECT_TRUE(within(l->table, client));
                EXPECT_FALSE(overlaps(l->lcd, l->table));
                if (chart) {
                    EXPECT_TRUE(within(l->chart, client));
                    EXPECT_FALSE(overlaps(l->lcd, l->chart));
                    EXPECT_FALSE(overlaps(l->chart, l->table));
                    EXPECT_EQ(l->chart.left - l->lcd.right, scale(8, dpi));
                    EXPECT_GE(l->lcd.height(), scale(240, dpi));
                } else {
                    EXPECT_TRUE(l->chart.empty());
                    EXPECT_EQ(l->lcd.width(), l->content.width()); // the LCD spans the row
                    EXPECT_LE(l->lcd.height(), scale(240, dpi));
                }
                EXPECT_GE(l->table.height(), scale(60, dpi));
            }
            // The toolbar fits the band and keeps its order at the minimum size.
            const auto t = toolbarLayout(dpi, scale(60, dpi), scale(14, dpi), scale(18, dpi));
            for (std::size_t i = 1; i < t.cards.size(); ++i)
                EXPECT_GT(t.cards[i].left, t.cards[i - 1].right - 1);
            EXPECT_LT(t.cards[2].right, t.separators[0]);
            EXPECT_LT(t.separators[0], t.cards[3].left);
            EXPECT_LT(t.cards[4].right, t.separators[1]);
            EXPECT_LT(t.separators[1], t.intervalLabel.left);
            EXPECT_GE(t.intervalLabel.width(), scale(72, dpi));
            EXPECT_TRUE(within(t.intervalEdit, t.intervalFrame));
            EXPECT_LE(t.secondsLabel.right, width);
            EXPECT_LE(t.intervalFrame.bottom, t.bandHeight);
        }
    }
    // 55 % of the content height with the chart; the LCD takes 45 % of the row.
    const auto l = contentLayout(1200, 820, 22, true, 96);
    EXPECT_EQ(l->content, (Rect { 8, 52, 1192, 790 }));
    EXPECT_EQ(l->lcd.height(), 738 * 55 / 100);
    EXPECT_EQ(l->lcd.width(), (1184 - 8) * 45 / 100);
    // Too small to lay out.
    EXPECT_FALSE(contentLayout(110, 600, 22, true, 96));
    EXPECT_FALSE(contentLayout(800, 180, 22, true, 96));
}

TEST(MainLayout, TableColumnsLeaveRoomForTheScrollBar)
{
    const auto fits = tableColumnWidths(1000, 17, false, 96);
    EXPECT_EQ(fits[0], 0);
    EXPECT_EQ(fits[1], 150);
    EXPECT_EQ(fits[4], 400);
    EXPECT_EQ(fits[1] + fits[2] + fits[3] + fits[4] + fits[5], 1000);
    const auto overflows = tableColumnWidths(1000, 17, true, 96);
    EXPECT_EQ(overflows[1] + overflows[2] + overflows[3] + overflows[4] + overflows[5], 983);
    const auto tiny = tableColumnWidths(50, 17, true, 144);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(tiny[static_cast<std::size_t>(i)], 45);
}

TEST(MainLayout, StatusPartsWithAndWithoutANotice)
{
    EXPECT_EQ(statusPartEdges(1000, std::nullopt, 96), (std::vector<int> { 380, 720, -1 }));
    // A short notice: its part starts at width − notice width.
    EXPECT_EQ(statusPartEdges(1000, 100, 96), (std::vector<int> { 320, 580, 866, -1 }));
    // A long one: never left of 58 % + 60.
    EXPECT_EQ(statusPartEdges(1000, 900, 96)[2], 640);
    // A narrow window: at most width − 40.
    EXPECT_EQ(statusPartEdges(100, 0, 96)[2], 60);
}

TEST(MainWindowRules, RecordingDisablesWhatChangesTheWorkingSet)
{
    for (auto id : { CommandId::newFile, CommandId::open, CommandId::save, CommandId::saveAs, CommandId::exportCsv,
             CommandId::deleteRows, CommandId::clearAll })
        EXPECT_TRUE(isBlockedWhileRecording(id)) << commandNumber(id);
    for (auto id : { CommandId::copyRows, CommandId::selectAll, CommandId::chart, CommandId::stopCard, CommandId::exit,
             CommandId::about })
        EXPECT_FALSE(isBlockedWhileRecording(id)) << commandNumber(id);
    EXPECT_TRUE(cardEnabled(ToolbarCard::stop, true));
    EXPECT_FALSE(cardEnabled(ToolbarCard::start, true));
    EXPECT_FALSE(cardEnabled(ToolbarCard::stop, false));

    EXPECT_EQ(cardTooltip(ToolbarCard::newFile, false, AppLanguage::enUS),
        L10n::text(L10nKey::tooltipNewFile, AppLanguage::enUS));
    EXPECT_EQ(cardTooltip(ToolbarCard::newFile, true, AppLanguage::enUS),
        std::string(L10n::text(L10nKey::tooltipNewFile, AppLanguage::enUS)) + "\n"
            + std::string(L10n::text(L10nKey::tooltipUnavailableWhileRecording, AppLanguage::enUS)));
    EXPECT_EQ(
        cardTooltip(ToolbarCard::stop, true, AppLanguage::zhTW), L10n::text(L10nKey::tooltipStop, AppLanguage::zhTW));
}

TEST(RecordTableModel, CellsClipboardAndFollowing)
{
    const double t = 1'720'015'509.0;
    const Reading volts(t, 2, 0, "1.234", {}, 0);
    const Reading overload(t + 1, 2, 0, "OL", {}, 0);
    EXPECT_EQ(cellText(volts, 1, AppLanguage::enUS), SessionTimeFormat::date(t));
    EXPECT_EQ(cellText(volts, 2, AppLanguage::enUS), SessionTimeFormat::time(t));
    EXPECT_EQ(cellText(volts, 3, AppLanguage::enUS), L10n::functionName(volts.function(), AppLanguage::enUS));
    EXPECT_EQ(cellText(volts, 4, AppLanguage::enUS), "1.234");
    EXPECT_EQ(cellText(volts, 5, AppLanguage::enUS), volts.unit());
    EXPECT_EQ(cellText(volts, 0, AppLanguage::enUS), "");
    EXPECT_EQ(cellText(std::nullopt, 3, AppLanguage::enUS), "");
    // Overload shows the overload text; the unit stays.
    EXPECT_EQ(cellText(overload, 4, AppLanguage::zhTW), L10n::text(L10nKey::overload, AppLanguage::zhTW));
    EXPECT_FALSE(cellText(overload, 5, AppLanguage::zhTW).empty());

    const std::vector<Reading> rows { volts, overload, volts, overload, volts };
    const RowProvider provider = [&](std::size_t i) -> std::optional<Reading> {
        if (i >= rows.size())
            return std::nullopt;
        return rows[i];
    };
    const std::size_t picked[] = { 0, 2, 4 };
    const auto text = clipboardText(picked, provider, AppLanguage::enUS);
    std::string line;
    for (int c = 1; c <= 5; ++c)
        line += (c > 1 ? "\t" : "") + cellText(volts, c, AppLanguage::enUS);
    EXPECT_EQ(text, line + "\r\n" + line + "\r\n" + line);
    const std::size_t missing[] = { 1, 99 };
    EXPECT_EQ(clipboardText(missing, provider, AppLanguage::enUS)
                  .substr(clipboardText(missing, provider, AppLanguage::enUS).rfind("\r\n")),
        "\r\n\t\t\t\t");

    EXPECT_TRUE(followsLatest(0, 0, 0));
    EXPECT_TRUE(followsLatest(100, 80, 20));
    EXPECT_FALSE(followsLatest(100, 79, 20));
    EXPECT_TRUE(followsLatest(100, 3, 0)); // no full row shows

    std::u16string longText(600, u'x');
    EXPECT_EQ(cutToUnits(longText, 511).size(), 511u);
    std::u16string pair(510, u'x');
    pair += u"\U0001F600"; // a surrogate pair across the cut
    EXPECT_EQ(cutToUnits(pair, 511).size(), 510u);
}

TEST(DialogTexts, HintsPromptAndFileNames)
{
    EXPECT_EQ(unsavedQuestionText("Body", AppLanguage::enUS),
        "Body\n\n[Yes] = " + std::string(L10n::text(L10nKey::buttonSave, AppLanguage::enUS))
            + "   [No] = " + std::string(L10n::text(L10nKey::buttonDontSave, AppLanguage::enUS))
            + "   [Cancel] = " + std::string(L10n::text(L10nKey::buttonCancel, AppLanguage::enUS)));
    EXPECT_EQ(unsavedHint(AppLanguage::zhTW),
        "［是］＝" + std::string(L10n::text(L10nKey::buttonSave, AppLanguage::zhTW)) + "\u3000［否］＝"
            + std::string(L10n::text(L10nKey::buttonDontSave, AppLanguage::zhTW)) + "\u3000［取消］＝"
            + std::string(L10n::text(L10nKey::buttonCancel, AppLanguage::zhTW)));
    EXPECT_EQ(recoveryHint(AppLanguage::enUS),
        "[Yes] = " + std::string(L10n::text(L10nKey::buttonRestore, AppLanguage::enUS))
            + "   [No] = " + std::string(L10n::text(L10nKey::buttonDiscard, AppLanguage::enUS)));

    UpdatePromptInfo info { "1.0.0", "1.1.0", "2026-12-01", 5 * 1024 * 1024, "  \n ", true, true };
    const auto prompt = updatePromptTexts(info, AppLanguage::enUS);
    EXPECT_EQ(prompt.mainInstruction, L10n::text(L10nKey::dialogUpdateRequiredHeading, AppLanguage::enUS));
    EXPECT_EQ(
        prompt.content.rfind(std::string(L10n::text(L10nKey::dialogUpdateRequiredNote, AppLanguage::enUS)) + "\n", 0),
        0u);
    EXPECT_TRUE(prompt.content.ends_with(std::string(L10n::text(L10nKey::dialogUpdateNotesHeading, AppLanguage::enUS))
        + "\n" + std::string(L10n::text(L10nKey::dialogUpdateNoNotes, AppLanguage::enUS))));
    info.mandatory = false;
    info.notes = "\n Fixes.\n";
    const auto optional = updatePromptTexts(info, AppLanguage::enUS);
    EXPECT_EQ(optional.content.rfind(L10n::updatePromptVersions(AppLanguage::enUS, "1.0.0", "1.1.0"), 0), 0u);
    EXPECT_TRUE(optional.content.ends_with("\nFixes."));
    EXPECT_TRUE(updatePromptFallbackText(info, AppLanguage::zhTW).ends_with("\n\n" + updateHint(AppLanguage::zhTW)));

    const auto filters = fileFilters(FileDialogType::csv, AppLanguage::enUS);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].label, std::string(L10n::text(L10nKey::fileTypeCsv, AppLanguage::enUS)) + " (*.csv)");
    EXPECT_EQ(filters[0].pattern, "*.csv");
    EXPECT_EQ(filters[1].pattern, "*.*");

    EXPECT_EQ(proposedSaveName("data.csv", FileDialogType::zmd, 0), "data.zmd");
    EXPECT_EQ(proposedSaveName("DATA.ZMD", FileDialogType::csv, 0), "DATA.csv");
    EXPECT_EQ(proposedSaveName("data.zmd", FileDialogType::zmd, 0), "data.zmd");
    EXPECT_EQ(proposedSaveName("notes.txt", FileDialogType::zmd, 0), "notes.txt");
    EXPECT_EQ(proposedSaveName(".csv", FileDialogType::zmd, 0), ".csv");
    EXPECT_EQ(proposedSaveName(std::nullopt, FileDialogType::csv, 1'720'015'509.0),
        SessionTimeFormat::defaultFileName(1'720'015'509.0, "csv"));
}

TEST(UIDispatcher, ClosuresFromFourThreadsRunInPostingOrderAndNoneAfterClearing)
{
    std::atomic<int> wakes { 0 };
    UIDispatcher dispatcher([&](UIDispatcher::Target target) {
        EXPECT_EQ(target, 7u);
        ++wakes;
    });
    EXPECT_FALSE(dispatcher.post([] {})); // no target yet: dropped
    dispatcher.setTarget(7);

    constexpr int perThread = 2000;
    std::vector<std::vector<int>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                dispatcher.post([&seen, t, i] { seen[static_cast<std::size_t>(t)].push_back(i); });
        });
    }
    // The UI thread drains while the posters run.
    while (wakes.load() < 4 * perThread)
        dispatcher.runQueued();
    for (auto& thread : threads)
        thread.join();
    dispatcher.runQueued();
    for (const auto& one : seen) {
        ASSERT_EQ(one.size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(one[static_cast<std::size_t>(i)], i);
    }

    // Queued but not yet run when the window goes: discarded, never run,
    // and their captures are released.
    auto tracker = std::make_shared<int>(0);
    int ran = 0;
    for (int i = 0; i < 10; ++i)
        dispatcher.post([tracker, &ran] { ++ran; });
    EXPECT_EQ(tracker.use_count(), 11);
    dispatcher.clearTargetAndDiscard();
    EXPECT_EQ(tracker.use_count(), 1);
    EXPECT_FALSE(dispatcher.post([tracker, &ran] { ++ran; }));
    dispatcher.runQueued();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(dispatcher.queuedCount(), 0u);
}

TEST(UIDispatcher, AClosureThatClosesTheWindowStopsTheRestOfItsBatch)
{
    UIDispatcher dispatcher([](UIDispatcher::Target) {});
    dispatcher.setTarget(1);
    std::vector<int> ran;
    dispatcher.post([&] { ran.push_back(1); });
    dispatcher.post([&] {
        ran.push_back(2);
        dispatcher.clearTargetAndDiscard(); // the window goes
    });
    dispatcher.post([&] { ran.push_back(3); });
    dispatcher.runQueued();
    EXPECT_EQ(ran, (std::vector<int> { 1, 2 }));
}

TEST(MainWindowModel, TheWindowIsFittedIntoTheWorkArea)
{
    const Rect work { 0, 0, 1920, 1040 }; // 1920 × 1080 less a taskbar
    // The 150 % minimum (1450 × 1146) at the top: as tall as the area.
    EXPECT_EQ(fitIntoWorkArea({ 0, 0, 1450, 1146 }, work), (Rect { 0, 0, 1450, 1040 }));
    // A restored placement with its status bar off the screen moves up.
    EXPECT_EQ(fitIntoWorkArea({ 200, 300, 1200, 1200 }, work), (Rect { 200, 140, 1200, 1040 }));
    // Off to the left and above: moved in; wider than the area: shrunk.
    EXPECT_EQ(fitIntoWorkArea({ -50, -20, 2950, 480 }, work), (Rect { 0, 0, 1920, 500 }));
    // A work area that does not start at 0 (a second monitor, a taskbar on top).
    EXPECT_EQ(fitIntoWorkArea({ 1900, 10, 2700, 610 }, { 1920, 40, 3840, 1080 }), (Rect { 1920, 40, 2720, 640 }));
    // Already inside: unchanged.
    EXPECT_EQ(fitIntoWorkArea({ 10, 10, 810, 610 }, work), (Rect { 10, 10, 810, 610 }));
}

TEST(DialogTexts, TheExportDialogIsTitledByItsCommand)
{
    EXPECT_EQ(saveDialogTitle(FileDialogType::csv, AppLanguage::enUS), "Export CSV");
    EXPECT_EQ(saveDialogTitle(FileDialogType::csv, AppLanguage::zhTW), "匯出 CSV");
    EXPECT_EQ(saveDialogTitle(FileDialogType::zmd, AppLanguage::enUS), std::nullopt);
    EXPECT_EQ(plainMenuText("&Save\tCtrl+S"), "Save");
    EXPECT_EQ(plainMenuText("另存新檔(&A)..."), "另存新檔");
}
