// The main window as a real window under Wine and Xvfb: its children where
// the layout puts them, the interval field's commits, the enabling rules
// while recording, the dispatcher, WM_COPYDATA, the clipboard, a language
// switch, the dialogs and the Help menu's documents. Runs at the process's
// UI DPI (CTest runs it at 96 and at 144).

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "ui/chart_view_win32.h"
#include "ui/dialogs_win32.h"
#include "ui/help_about_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/main_window_win32.h"
#include "ui/record_table_view_win32.h"
#include "ui/theme_win32.h"
#include "main_window_fixture_win32.h"
#include "window_test_support_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>
#undef interface // objbase.h's, which the theme's font names use

#include <atomic>
#include <thread>

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;
using namespace zelmar::ui::win32::testing;

namespace {

Rect childRect(HWND parent, HWND child)
{
    RECT r {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return fromRECT(r);
}

bool overlaps(const Rect& a, const Rect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::wstring windowText(HWND hwnd)
{
    wchar_t buffer[256] {};
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

std::string menuText(HMENU menu, UINT position)
{
    wchar_t buffer[128] {};
    GetMenuStringW(menu, position, buffer, 128, MF_BYPOSITION);
    return text::wideToUtf8(buffer);
}

} // namespace

TEST(MainWindow, ChildrenFollowTheLayoutAtBothSizesWithAndWithoutTheChart)
{
    Fixture f(AppLanguage::zhTW, 500);
    auto& w = *f.window;
    for (auto [width, height] : { std::pair { 1200, 820 }, std::pair { 960, 720 } }) {
        f.resizeClient(width, height);
        for (bool chart : { true, false }) {
            w.setChartVisible(chart);
            f.pump();
            RECT client {};
            GetClientRect(w.hwnd(), &client);
            ASSERT_EQ(client.right, scale(width, uiDpi()));
            ASSERT_TRUE(w.contentLayout());
            const auto& l = *w.contentLayout();
            EXPECT_EQ(childRect(w.hwnd(), w.lcdPanel().hwnd()), l.lcd);
            EXPECT_EQ(childRect(w.hwnd(), w.recordTable().hwnd()), l.table);
            EXPECT_EQ(IsWindowVisible(w.chartView().hwnd()) != FALSE, chart);
            if (chart) {
                EXPECT_EQ(childRect(w.hwnd(), w.chartView().hwnd()), l.chart);
            }
            const Rect status = childRect(w.hwnd(), w.statusBar());
            EXPECT_EQ(status.bottom, client.bottom);
            EXPECT_LE(l.table.bottom, status.top);
            EXPECT_FALSE(overlaps(l.table, status));
            // Every toolbar child lies inside the band and inside the client.
            for (auto card :
                { ToolbarCard::newFile, ToolbarCard::open, ToolbarCard::save, ToolbarCard::start, ToolbarCard::stop }) {
                const Rect r = childRect(w.hwnd(), w.cardWindow(card));
                EXPECT_LE(r.bottom, w.toolbar().bandHeight);
                EXPECT_GE(r.top, 0);
            }
            const Rect edit = childRect(w.hwnd(), w.intervalEdit());
            EXPECT_LE(edit.right, client.right);
            EXPECT_EQ(edit, w.toolbar().intervalEdit);
            // The columns fill the table less the scroll bar (500 rows overflow a page).
            RECT tableClient {};
            GetClientRect(w.recordTable().hwnd(), &tableClient);
            int sum = 0;
            for (int c = 0; c < 6; ++c)
                sum += ListView_GetColumnWidth(w.recordTable().hwnd(), c);
            EXPECT_EQ(ListView_GetColumnWidth(w.recordTable().hwnd(), 0), 0);
            EXPECT_LE(sum, tableClient.right);
            EXPECT_GE(sum, tableClient.right - 5);
        }
    }
    // The minimum tracking size is the window for a 960 × 720 client.
    MINMAXINFO info {};
    SendMessageW(w.hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT least { 0, 0, scale(960, uiDpi()), scale(720, uiDpi()) };
    AdjustWindowRectEx(&least, GetWindowLongW(w.hwnd(), GWL_STYLE), TRUE, 0);
    EXPECT_EQ(info.ptMinTrackSize.x, least.right - least.left);
    EXPECT_EQ(info.ptMinTrackSize.y, least.bottom - least.top);
}

TEST(MainWindow, TheIntervalFieldCommitsWhenLeft)
{
    Fixture f;
    auto& w = *f.window;
    std::vector<int> changes;
    w.onIntervalChanged = [&](int n) { changes.push_back(n); };
    auto typeAndLeave = [&](const wchar_t* typed) {
        SetFocus(w.intervalEdit());
        SetWindowTextW(w.intervalEdit(), typed);
        SetFocus(w.recordTable().hwnd());
        f.pump();
        return windowText(w.intervalEdit());
    };
    EXPECT_EQ(typeAndLeave(L"0"), L"1");
    EXPECT_EQ(typeAndLeave(L"abc"), L"10");
    EXPECT_EQ(typeAndLeave(L""), L"10");
    EXPECT_EQ(typeAndLeave(L"9999"), L"3600");
    EXPECT_EQ(changes, (std::vector<int> { 1, 10, 3600 }));
    EXPECT_EQ(w.committedInterval(), 3600);

    // Typing stops at four characters.
    SetFocus(w.intervalEdit());
    SendMessageW(w.intervalEdit(), EM_SETSEL, 0, -1);
    for (wchar_t c : std::wstring(L"99999"))
        SendMessageW(w.intervalEdit(), WM_CHAR, c, 0);
    EXPECT_EQ(windowText(w.intervalEdit()), L"9999");

    // Start commits a typed value that was never committed.
    int started = 0;
    w.onStart = [&] {
        ++started;
        EXPECT_EQ(w.committedInterval(), 25);
    };
    SetWindowTextW(w.intervalEdit(), L"25");
    w.runCommand(CommandId::startCard);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(changes.back(), 25);

    // Enter in the field commits and selects the text.
    SetFocus(w.intervalEdit());
    SetWindowTextW(w.intervalEdit(), L"7");
    MSG enter { w.intervalEdit(), WM_KEYDOWN, VK_RETURN, 0, 0, {} };
    EXPECT_TRUE(w.preTranslate(enter));
    EXPECT_EQ(w.committedInterval(), 7);
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(w.intervalEdit(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 1u);
    // A setter clamps and shows.
    w.setInterval(0);
    EXPECT_EQ(windowText(w.intervalEdit()), L"1");
}

TEST(MainWindow, RecordingDisablesWhatWouldChangeTheRecording)
{
    Fixture f(AppLanguage::enUS, 20);
    auto& w = *f.window;
    int blocked = 0;
    int copied = 0;
    w.onNewFile = w.onOpen = w.onSave = w.onSaveAs = w.onExportCSV = w.onClearAll = [&] { ++blocked; };
    w.onDeleteRows = [&](std::span<const std::size_t>) { ++blocked; };
    w.onCopyRows = [&](std::span<const std::size_t>) { ++copied; };
    SetFocus(w.intervalEdit());
    w.setRecording(true);

    EXPECT_FALSE(IsWindowEnabled(w.cardWindow(ToolbarCard::start)));
    EXPECT_TRUE(IsWindowEnabled(w.cardWindow(ToolbarCard::stop)));
    EXPECT_FALSE(IsWindowEnabled(w.cardWindow(ToolbarCard::newFile)));
    EXPECT_FALSE(IsWindowEnabled(w.intervalEdit()));
    // The focus left the field that went grey, for the Stop card.
    EXPECT_EQ(GetFocus(), w.cardWindow(ToolbarCard::stop));
    for (auto id : { CommandId::newFile, CommandId::open, CommandId::save, CommandId::saveAs, CommandId::exportCsv,
             CommandId::deleteRows, CommandId::clearAll })
        EXPECT_TRUE(GetMenuState(w.menuBar(), commandNumber(id), MF_BYCOMMAND) & MF_GRAYED) << commandNumber(id);
    EXPECT_FALSE(GetMenuState(w.menuBar(), commandNumber(CommandId::copyRows), MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(w.tooltipText(ToolbarCard::newFile),
        std::string(L10n::text(L10nKey::tooltipNewFile, AppLanguage::enUS)) + "\n"
            + std::string(L10n::text(L10nKey::tooltipUnavailableWhileRecording, AppLanguage::enUS)));

    // Ctrl+N, Ctrl+O, Ctrl+S and Delete through the accelerators do nothing;
    // Ctrl+C and Ctrl+A still work.
    ListView_SetItemState(w.recordTable().hwnd(), 3, LVIS_SELECTED, LVIS_SELECTED);
    BYTE keys[256] {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    for (WPARAM key : { WPARAM('N'), WPARAM('O'), WPARAM('S'), WPARAM('C'), WPARAM('A') }) {
        MSG msg { w.recordTable().hwnd(), WM_KEYDOWN, key, 0, 0, {} };
        EXPECT_TRUE(w.preTranslate(msg));
        f.pump();
    }
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    MSG del { w.recordTable().hwnd(), WM_KEYDOWN, VK_DELETE, 0, 0, {} };
    EXPECT_TRUE(w.preTranslate(del));
    f.pump();
    // Nor do the commands themselves, whatever reaches them.
    for (auto id : { CommandId::newFile, CommandId::newFileCard, CommandId::open, CommandId::openCard, CommandId::save,
             CommandId::saveCard, CommandId::saveAs, CommandId::exportCsv, CommandId::deleteRows, CommandId::clearAll })
        w.runCommand(id);
    EXPECT_EQ(blocked, 0);
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(w.recordTable().selectedRows().size(), 20u); // Ctrl+A selected every row

    w.setRecording(false);
    EXPECT_TRUE(IsWindowEnabled(w.intervalEdit()));
    EXPECT_EQ(w.tooltipText(ToolbarCard::newFile), L10n::text(L10nKey::tooltipNewFile, AppLanguage::enUS));
    w.runCommand(CommandId::newFile);
    EXPECT_EQ(blocked, 1);
}

TEST(MainWindow, ClosuresFromFourThreadsRunInOrderAndNoneAfterDestroy)
{
    Fixture f;
    auto& w = *f.window;
    constexpr int perThread = 500;
    std::vector<std::vector<int>> seen(4);
    std::atomic<int> ran { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                w.dispatcher().post([&, t, i] {
                    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(w.hwnd(), nullptr));
                    seen[static_cast<std::size_t>(t)].push_back(i);
                    ++ran;
                });
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_TRUE(pumpUntil([&] { return ran.load() == 4 * perThread; }));
    for (const auto& one : seen) {
        ASSERT_EQ(one.size(), static_cast<std::size_t>(perThread));
        EXPECT_TRUE(std::ranges::is_sorted(one));
    }

    // Queued when the window goes: dropped unrun, their captures released.
    auto tracker = std::make_shared<int>(0);
    int late = 0;
    for (int i = 0; i < 50; ++i)
        w.dispatcher().post([tracker, &late] { ++late; });
    EXPECT_EQ(tracker.use_count(), 51);
    w.destroy();
    EXPECT_EQ(tracker.use_count(), 1);
    EXPECT_FALSE(w.dispatcher().post([tracker, &late] { ++late; }));
    // Let any stray message arrive.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    pumpUntil([&] { return std::chrono::steady_clock::now() > until; });
    EXPECT_EQ(late, 0);
    EXPECT_EQ(w.hwnd(), nullptr);
}

// Whatever arrives reaches the handler, which logs what it refuses: an
// empty, missing or oversized block included. The answer is the handler's.
TEST(MainWindow, CopyDataReachesTheHandlerWhateverItHolds)
{
    Fixture f;
    auto& w = *f.window;
    auto send = [&](ULONG_PTR id, const void* data, DWORD size) {
        COPYDATASTRUCT cds { id, size, const_cast<void*>(data) };
        return SendMessageW(w.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    };
    const std::string payload = "open me";
    EXPECT_EQ(send(0x5A4D, payload.data(), static_cast<DWORD>(payload.size())), 0); // no handler

    std::vector<std::pair<std::uintptr_t, std::size_t>> received;
    std::string first;
    w.onCopyData = [&](std::uintptr_t id, std::span<const std::uint8_t> bytes) {
        if (received.empty())
            first.assign(bytes.begin(), bytes.end());
        received.emplace_back(id, bytes.size());
        return bytes.size() < 100 && !bytes.empty();
    };
    EXPECT_EQ(send(0x5A4D, payload.data(), static_cast<DWORD>(payload.size())), 1);
    const std::string big(1'048'577, 'x');
    EXPECT_EQ(send(1, big.data(), static_cast<DWORD>(big.size())), 0);
    EXPECT_EQ(send(2, nullptr, 0), 0);
    EXPECT_EQ(send(3, nullptr, 16), 0); // a length without data is no data
    EXPECT_EQ(SendMessageW(w.hwnd(), WM_COPYDATA, 0, 0), 0);
    const std::vector<std::pair<std::uintptr_t, std::size_t>> expected {
        { 0x5A4D, payload.size() }, { 1, big.size() }, { 2, 0 }, { 3, 0 }, { 0, 0 }
    };
    EXPECT_EQ(received, expected);
    EXPECT_EQ(first, payload);
}

// Switching the language while recording moves the interval field: what
// the screen shows afterwards has no trace of the field's grey where the
// seconds label now stands.
TEST(MainWindow, ALanguageSwitchWhileRecordingLeavesTheToolbarClean)
{
    for (const auto& [from, to] : { std::pair { AppLanguage::zhTW, AppLanguage::enUS },
             std::pair { AppLanguage::enUS, AppLanguage::zhTW } }) {
        Fixture f(from);
        auto& w = *f.window;
        w.setRecording(true);
        f.pump();
        w.setLanguage(to);
        f.pump();
        UpdateWindow(w.hwnd());
        const auto image = captureOnScreen(w.hwnd(), false);
        ASSERT_TRUE(image);
        const Rect seconds = w.toolbar().secondsLabel;
        EXPECT_EQ(count(*image, seconds, main_window_colors::frameFillRecording), 0);
        const Rect label = w.toolbar().intervalLabel;
        EXPECT_EQ(count(*image, label, main_window_colors::frameFillRecording), 0);
        // The field itself shows the recording fill.
        EXPECT_GT(count(*image, w.toolbar().intervalEdit, main_window_colors::frameFillRecording), 0);
    }
}

// The interval field's frame: rounded (its very corner is the band's), a
// border along its edges and the field's fill inside. Drawn through the
// antialiasing canvas; Wine's GDI+ does not smooth the shape, so the
// smoothness itself shows only on Windows.
TEST(MainWindow, TheIntervalFrameIsRoundedWithItsBorder)
{
    Fixture f;
    auto& w = *f.window;
    w.setRecording(true);
    f.pump();
    UpdateWindow(w.hwnd());
    const auto image = captureOnScreen(w.hwnd(), false);
    ASSERT_TRUE(image);
    const Rect frame = w.toolbar().intervalFrame;
    EXPECT_EQ(image->at(frame.left, frame.top), main_window_colors::band);
    EXPECT_EQ(image->at(frame.right - 1, frame.bottom - 1), main_window_colors::band);
    const int middle = (frame.top + frame.bottom) / 2;
    EXPECT_EQ(image->at(frame.left, middle), main_window_colors::frameBorderRecording);
    EXPECT_EQ(image->at(frame.left + scaleAtLeastOne(1, uiDpi()), middle), main_window_colors::frameFillRecording);
}

// The shortcuts the menus show reach their commands through real key
// messages: F5 starts and Shift+F5 stops (each only when its card could),
// Ctrl+Shift+S saves as, F1 opens the user guide; Help has the update check.
TEST(MainWindow, KeyboardShortcutsReachTheirCommands)
{
    Fixture f(AppLanguage::enUS);
    auto& w = *f.window;
    int starts = 0, stops = 0, saveAs = 0, helps = 0, checks = 0;
    w.onStart = [&] { ++starts; };
    w.onStop = [&] { ++stops; };
    w.onSaveAs = [&] { ++saveAs; };
    w.onHelp = [&] { ++helps; };
    w.onCheckForUpdates = [&] { ++checks; };
    const auto press = [&](WPARAM key, bool control, bool shift) {
        BYTE keys[256] {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG msg { w.hwnd(), WM_KEYDOWN, key, 0, 0, {} };
        const bool taken = w.preTranslate(msg);
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        f.pump();
        return taken;
    };
    EXPECT_TRUE(press(VK_F5, false, false));
    EXPECT_TRUE(press(VK_F5, false, true)); // not recording: Stop does nothing
    EXPECT_TRUE(press('S', true, true));
    EXPECT_TRUE(press(VK_F1, false, false));
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(saveAs, 1);
    EXPECT_EQ(helps, 1);
    w.setRecording(true);
    press(VK_F5, false, false); // recording: Start does nothing
    press(VK_F5, false, true);
    press('S', true, true); // Save As waits while recording
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(saveAs, 1);
    w.runCommand(CommandId::checkForUpdates);
    EXPECT_EQ(checks, 1);
    const HMENU help = GetSubMenu(w.menuBar(), 3);
    EXPECT_EQ(menuText(help, 0), "&User Guide\tF1");
    EXPECT_EQ(menuText(help, 1), "&Check for Updates...");
    EXPECT_EQ(menuText(GetSubMenu(w.menuBar(), 0), 3), "Save &As...\tCtrl+Shift+S");
}

// Right after start-up the window itself has the focus: Shift+Tab reaches
// the last stop of the order and Tab the first, as real key messages do.
TEST(MainWindow, TabAndShiftTabFromTheWindowItself)
{
    for (const bool back : { true, false }) {
        Fixture f;
        auto& w = *f.window;
        SetFocus(w.hwnd());
        ASSERT_EQ(GetFocus(), w.hwnd());
        BYTE keys[256] {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = back ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG tab { w.hwnd(), WM_KEYDOWN, VK_TAB, 0, 0, {} };
        EXPECT_TRUE(w.preTranslate(tab));
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        HWND focused = GetFocus();
        ASSERT_NE(focused, w.hwnd());
        ASSERT_TRUE(IsChild(w.hwnd(), focused));
        HWND first = GetNextDlgTabItem(w.hwnd(), nullptr, FALSE);
        if (back)
            EXPECT_EQ(GetNextDlgTabItem(w.hwnd(), focused, FALSE), first); // the last: the first follows it
        else
            EXPECT_EQ(focused, first);
    }
}

// Moved to a monitor of another DPI, the window takes the shell's icons at
// that DPI.
TEST(MainWindow, TheIconFollowsADpiChange)
{
    Fixture f;
    auto& w = *f.window;
    RECT r {};
    GetWindowRect(w.hwnd(), &r);
    SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&r));
    const auto icon = reinterpret_cast<HICON>(SendMessageW(w.hwnd(), WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap {};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 64);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST(MainWindow, CopiesNonAdjacentRowsAndRelabelsOnALanguageSwitch)
{
    Fixture f(AppLanguage::zhTW, 10);
    auto& w = *f.window;
    std::vector<std::size_t> copiedRows;
    w.onCopyRows = [&](std::span<const std::size_t> rows) { copiedRows.assign(rows.begin(), rows.end()); };
    for (int row : { 7, 1, 3 })
        ListView_SetItemState(w.recordTable().hwnd(), row, LVIS_SELECTED, LVIS_SELECTED);
    w.runCommand(CommandId::copyRows);
    EXPECT_EQ(copiedRows, (std::vector<std::size_t> { 1, 3, 7 }));
    const auto clip = clipboardUnicodeText(w.hwnd());
    ASSERT_TRUE(clip);
    const std::size_t rows[] = { 1, 3, 7 };
    EXPECT_EQ(*clip,
        clipboardText(
            rows, [&](std::size_t i) { return std::optional(f.readings[i]); }, AppLanguage::zhTW));
    EXPECT_EQ(std::ranges::count(*clip, '\n'), 2);
    EXPECT_EQ(std::ranges::count(*clip, '\t'), 12);
    EXPECT_FALSE(clip->ends_with("\r\n"));

    // Row 3 is an overload: its value cell is the overload text.
    wchar_t cell[64] {};
    ListView_GetItemText(w.recordTable().hwnd(), 3, 4, cell, 64);
    EXPECT_EQ(text::wideToUtf8(cell), L10n::text(L10nKey::overload, AppLanguage::zhTW));

    AppLanguage chosen = AppLanguage::zhTW;
    int switches = 0;
    w.onLanguageChanged = [&](AppLanguage l) {
        chosen = l;
        ++switches;
    };
    w.setConnection(ConnectionStatus::disconnected());
    w.runCommand(CommandId::languageEnUS);
    w.runCommand(CommandId::languageEnUS); // the same language again: nothing
    EXPECT_EQ(switches, 1);
    EXPECT_EQ(chosen, AppLanguage::enUS);
    EXPECT_EQ(menuText(w.menuBar(), 0), "&File");
    EXPECT_EQ(menuText(w.menuBar(), 3), L10n::text(L10nKey::menuHelp, AppLanguage::enUS));
    EXPECT_TRUE(GetMenuState(w.menuBar(), commandNumber(CommandId::languageEnUS), MF_BYCOMMAND) & MF_CHECKED);
    wchar_t title[64] {};
    HDITEMW item {};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = 64;
    Header_GetItem(w.recordTable().headerHwnd(), 1, &item);
    EXPECT_EQ(text::wideToUtf8(title), L10n::text(L10nKey::columnDate, AppLanguage::enUS));
    ListView_GetItemText(w.recordTable().hwnd(), 0, 3, cell, 64);
    EXPECT_EQ(text::wideToUtf8(cell), L10n::functionName(f.readings[0].function(), AppLanguage::enUS));
    EXPECT_EQ(w.statusText(0), L10n::text(L10nKey::statusDisconnected, AppLanguage::enUS));
    EXPECT_EQ(windowText(w.cardWindow(ToolbarCard::start)),
        text::utf8ToWide(L10n::text(L10nKey::buttonStart, AppLanguage::enUS)));
}

TEST(MainWindow, TheTableFollowsTheNewestRowUntilScrolledAway)
{
    Fixture f(AppLanguage::enUS, 390);
    auto& w = *f.window;
    auto& table = w.recordTable();
    table.followLatest();
    for (int i = 390; i < 400; ++i) {
        f.readings.push_back(volts(1.7e9 + i));
        w.appendRecord(f.readings.back(), i + 1);
    }
    f.pump();
    const HWND list = table.hwnd();
    const int perPage = ListView_GetCountPerPage(list);
    EXPECT_EQ(ListView_GetTopIndex(list) + perPage, 400);
    EXPECT_TRUE(table.followingLatest());

    SetFocus(list);
    SendMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(ListView_GetTopIndex(list), 0);
    EXPECT_FALSE(table.followingLatest());
    for (int i = 400; i < 420; ++i) {
        f.readings.push_back(volts(1.7e9 + i));
        w.appendRecord(f.readings.back(), i + 1);
    }
    EXPECT_EQ(ListView_GetTopIndex(list), 0); // the view stayed where the user put it
    EXPECT_EQ(ListView_GetItemCount(list), 420);

    SendMessageW(list, WM_KEYDOWN, VK_END, 0);
    EXPECT_TRUE(table.followingLatest());
    f.readings.push_back(volts(1.7e9 + 420));
    w.appendRecord(f.readings.back(), 421);
    EXPECT_EQ(ListView_GetTopIndex(list) + perPage, 421);

    // Recording starts following again wherever the view was.
    SendMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_FALSE(table.followingLatest());
    w.setRecording(true);
    EXPECT_TRUE(table.followingLatest());
    EXPECT_EQ(ListView_GetTopIndex(list) + perPage, 421);
}

TEST(MainWindow, StatusBarShowsTheNearLimitCountInTheWarningColour)
{
    Fixture f(AppLanguage::enUS, 0);
    auto& w = *f.window;
    w.setConnection(ConnectionStatus::connected("DMM-5174K"));
    w.setChannelText("CH1");
    w.setRecording(true);
    w.appendRecord(volts(1.7e9), 590'000);
    EXPECT_EQ(w.statusText(0), L10n::statusConnected(AppLanguage::enUS, "DMM-5174K"));
    EXPECT_EQ(w.statusText(2), L10n::statusRecording(AppLanguage::enUS, 590'000, true));
    const auto shot = captureClient(w.statusBar()); // owner-drawn parts included
    ASSERT_TRUE(shot);
    RECT part {};
    SendMessageW(w.statusBar(), SB_GETRECT, 2, reinterpret_cast<LPARAM>(&part));
    EXPECT_GT(count(*shot, fromRECT(part), main_window_colors::nearLimit), 10);

    // A notice adds the fourth part; a clickable one answers a click.
    int clicks = 0;
    w.onUpdateNoticeClicked = [&] { ++clicks; };
    w.setUpdateNotice(UpdateNotice { "Update 1.1.0 available", true });
    EXPECT_EQ(SendMessageW(w.statusBar(), SB_GETPARTS, 0, 0), 4);
    NMMOUSE click {};
    click.hdr = { w.statusBar(), static_cast<UINT_PTR>(commandNumber(CommandId::statusBar)), NM_CLICK };
    click.dwItemSpec = 3;
    SendMessageW(w.hwnd(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(clicks, 1);
    w.setUpdateNotice(UpdateNotice { "Checking for updates...", false });
    SendMessageW(w.hwnd(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(clicks, 1); // not clickable: nothing
    w.setUpdateNotice(std::nullopt);
    EXPECT_EQ(SendMessageW(w.statusBar(), SB_GETPARTS, 0, 0), 3);
}

TEST(Dialogs, TaskDialogAnswersTheButtonAndFallsBackToAMessageBox)
{
    Fixture f(AppLanguage::enUS);
    log::LogCapture capture;
    TaskDialogRequest request;
    request.owner = f.window->hwnd();
    request.title = "Title";
    request.mainInstruction = "Instruction";
    request.content = "Content";
    request.buttons = { { 100, "Now" }, { 101, "Later" } };
    request.defaultButton = 100;
    TaskDialogSession session;
    session.onCreated = [](HWND dialog) { PostMessageW(dialog, TDM_CLICK_BUTTON, 101, 0); };
    EXPECT_EQ(TaskDialogs::show(request, session), 101);

    // Without task dialogs the update question is a Yes/No box with the hint.
    TaskDialogs::setUnavailableForTesting(true);
    std::wstring shownText;
    const DWORD uiThread = GetCurrentThreadId();
    std::thread answerer([&] {
        for (int i = 0; i < 2000; ++i) {
            if (HWND box = visibleDialogOf(uiThread)) {
                wchar_t body[2048] {};
                GetDlgItemTextW(box, 0xFFFF, body, 2048);
                shownText = body;
                PostMessageW(box, WM_COMMAND, IDYES, 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    UpdatePromptInfo info { "1.0.0", "1.1.0", "2026-12-01", 2'500'000, "Faster.", false, false };
    const bool declined = askUpdatePrompt(f.window->hwnd(), info, AppLanguage::enUS);
    answerer.join();
    TaskDialogs::setUnavailableForTesting(false);
    EXPECT_FALSE(declined);
    EXPECT_TRUE(capture.contains("TaskDialogIndirect 不可用（ComCtl32 v6 未載入），改用訊息框後援"));
    EXPECT_NE(shownText.find(text::utf8ToWide(updateHint(AppLanguage::enUS))), std::wstring::npos);
}

TEST(Dialogs, ProgressDialogStaysOpenAfterCancelUntilTheOwnerCloses)
{
    Fixture f(AppLanguage::enUS);
    TaskProgressDialog dialog(f.window->hwnd(), "Update", "Downloading", "0 %", "Cancel");
    int cancels = 0, shown = 0;
    dialog.onCancel = [&] { ++cancels; };
    dialog.onShown = [&] { ++shown; };
    // Steps run on the UI thread inside the dialog's own loop.
    static TaskProgressDialog* current = nullptr;
    static int step = 0;
    static bool stayedOpen = false;
    current = &dialog;
    step = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
        if (current->hwnd() == nullptr)
            return;
        switch (step++) {
        case 0:
            current->setProgress(40);
            current->setContent("40 %");
            SendMessageW(current->hwnd(), TDM_CLICK_BUTTON, IDCANCEL, 0);
            break;
        case 1:
            stayedOpen = current->hwnd() != nullptr && current->cancelRequested();
            current->close();
            break;
        default:
            break;
        }
    });
    EXPECT_TRUE(dialog.show());
    KillTimer(nullptr, timer);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(stayedOpen);
    EXPECT_GE(step, 2);
}

TEST(Dialogs, SaveDialogProposesTheDialogsExtension)
{
    Fixture f(AppLanguage::enUS);
    std::wstring proposed;
    const DWORD uiThread = GetCurrentThreadId();
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            if (HWND dialog = visibleDialogOf(uiThread)) {
                wchar_t name[MAX_PATH] {};
                if (GetDlgItemTextW(dialog, cmb13, name, MAX_PATH) == 0)
                    GetDlgItemTextW(dialog, edt1, name, MAX_PATH);
                proposed = name;
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto chosen = f.window->askSavePath("data.csv", std::wstring(L"Z:\\no\\such\\folder"), FileDialogType::zmd);
    reader.join();
    EXPECT_FALSE(chosen); // cancelled
    EXPECT_EQ(proposed, L"data.zmd");
}

// The export dialog says what it is for, and a dialog with no remembered
// folder starts in the user's documents, not where the process started.
TEST(Dialogs, ExportIsTitledAndDialogsStartInTheDocuments)
{
    Fixture f(AppLanguage::enUS);
    wchar_t documents[MAX_PATH] {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
    std::wstring title;
    std::wstring folder;
    const DWORD uiThread = GetCurrentThreadId();
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            if (HWND dialog = visibleDialogOf(uiThread)) {
                wchar_t text[MAX_PATH] {};
                GetWindowTextW(dialog, text, MAX_PATH);
                title = text;
                wchar_t path[MAX_PATH] {};
                SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
                folder = path;
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto chosen = f.window->askSavePath("run.zmd", std::nullopt, FileDialogType::csv);
    reader.join();
    EXPECT_FALSE(chosen);
    EXPECT_EQ(title, L"Export CSV");
    EXPECT_EQ(_wcsicmp(folder.c_str(), documents), 0) << text::wideToUtf8(folder) << " vs " << text::wideToUtf8(documents);
}

TEST(HelpAndAbout, DocumentsOpenFromBesideTheProgramAndAboutIsOneWindow)
{
    Fixture f(AppLanguage::enUS);
    std::vector<std::wstring> opened;
    const ShellOpen record = [&](HWND, const std::wstring& path) {
        opened.push_back(path);
        return INT_PTR { 42 };
    };
    log::LogCapture capture;
    // The compiled help beside the program opens in the help viewer.
    ASSERT_TRUE(HelpLauncher::open(f.window->hwnd(), AppLanguage::enUS, record));
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(pumpUntil([] { return FindWindowW(L"HH Parent", nullptr) != nullptr; }));
    EXPECT_FALSE(capture.contains("HtmlHelpW")) << "no fallback";
    EXPECT_FALSE(capture.contains("說明 HTML"));
    HelpLauncher::closeViewers();
    {
        // Without it, the topics open as HTML pages.
        const auto chm = assetPath(compiledHelpAsset);
        ASSERT_TRUE(chm);
        const std::wstring aside = *chm + L".aside";
        ASSERT_TRUE(MoveFileW(chm->c_str(), aside.c_str()));
        const bool english = HelpLauncher::open(f.window->hwnd(), AppLanguage::enUS, record);
        const bool chinese = HelpLauncher::open(f.window->hwnd(), AppLanguage::zhTW, record);
        MoveFileW(aside.c_str(), chm->c_str());
        ASSERT_TRUE(english && chinese);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].ends_with(L"\\help\\topics\\en\\index.htm"));
    EXPECT_TRUE(opened[1].ends_with(L"\\help\\topics\\index.htm"));
    ASSERT_TRUE(LicenseLauncher::open(f.window->hwnd(), AppLanguage::enUS, record));
    EXPECT_TRUE(opened.back().ends_with(L"\\LICENSE.txt"));
    const ShellOpen failing = [](HWND, const std::wstring&) { return INT_PTR { 2 }; };
    EXPECT_FALSE(LicenseLauncher::open(f.window->hwnd(), AppLanguage::enUS, failing));
    EXPECT_TRUE(capture.contains("ShellExecuteW 開啟授權條款失敗："));

    int checks = 0;
    f.window->onCheckForUpdates = [&] { ++checks; };
    f.window->runCommand(CommandId::about);
    f.window->runCommand(CommandId::about);
    int aboutWindows = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM n) {
            wchar_t cls[64] {};
            GetClassNameW(hwnd, cls, 64);
            *reinterpret_cast<int*>(n) += std::wstring_view(cls) == L"DMM5174KAboutWindowClass";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&aboutWindows));
    EXPECT_EQ(aboutWindows, 1);
    HWND about = AboutWindow::openWindow();
    ASSERT_NE(about, nullptr);
    const auto* layout = AboutWindow::openLayout();
    ASSERT_NE(layout, nullptr);
    // The logo beside the program, drawn antialiased: the tile's own blue
    // and shades between it and the background at its rounded edges.
    {
        const ClientImage shot = picture(about);
        const Rect logo = fromRECT(layout->logoRect);
        EXPECT_GT(count(shot, logo, Rgb::fromHex(0x1565C0)), logo.height() * logo.height() / 3);
        int blended = 0;
        for (int y = logo.top; y < logo.bottom; ++y) {
            for (int x = logo.left; x < logo.right; ++x) {
                const Rgb c = shot.at(x, y);
                blended += c.b > 0xC0 && c.b < 0xFF && c.r > 0x15 && c.r < 0xF0 && c.r < c.b;
            }
        }
        EXPECT_GT(blended, 8);
    }
    EXPECT_LT(layout->bodyRect.bottom, layout->versionRect.top + 1);
    EXPECT_LT(layout->versionRect.bottom, layout->updateLinkRect.top + 1);
    EXPECT_LT(layout->updateLinkRect.bottom, layout->linkRect.top + 1);
    EXPECT_LT(layout->linkRect.bottom, layout->hintRect.top + 1);
    // The links are set in the body's size: one line of the link is as
    // tall as one line of the interface face.
    {
        WindowDc screen(nullptr);
        SelectGuard font(screen.get(), themeFont(ThemeFont::interface));
        TEXTMETRICW metrics {};
        GetTextMetricsW(screen.get(), &metrics);
        EXPECT_EQ(layout->linkRect.bottom - layout->linkRect.top, metrics.tmHeight);
    }
    const POINT link { (layout->updateLinkRect.left + layout->updateLinkRect.right) / 2,
        (layout->updateLinkRect.top + layout->updateLinkRect.bottom) / 2 };
    SendMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(link.x, link.y));
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(AboutWindow::openWindow(), nullptr);
    EXPECT_FALSE(IsWindow(about));

    // Only a link's text is its target: beside it, a click only closes.
    f.window->runCommand(CommandId::about);
    about = AboutWindow::openWindow();
    ASSERT_NE(about, nullptr);
    const auto* again = AboutWindow::openLayout();
    RECT client {};
    GetClientRect(about, &client);
    EXPECT_LT(again->updateLinkRect.right, client.right - scale(40, uiDpi()));
    SendMessageW(about, WM_LBUTTONUP, 0,
        MAKELPARAM(again->updateLinkRect.right + scale(10, uiDpi()), again->updateLinkRect.top + 2));
    EXPECT_EQ(checks, 1);
    EXPECT_FALSE(IsWindow(about));

    // By keyboard: Tab reaches the update link, Enter starts the check.
    f.window->runCommand(CommandId::about);
    about = AboutWindow::openWindow();
    ASSERT_NE(about, nullptr);
    SendMessageW(about, WM_KEYDOWN, VK_TAB, 0);
    SendMessageW(about, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(checks, 2);
    EXPECT_FALSE(IsWindow(about));
}

TEST(MainWindow, ADisabledCardStillShowsItsTipWithTheReason)
{
    Fixture f(AppLanguage::enUS);
    auto& w = *f.window;
    w.setRecording(true);
    const HWND card = w.cardWindow(ToolbarCard::newFile);
    ASSERT_FALSE(IsWindowEnabled(card));
    RECT r {};
    GetWindowRect(card, &r);
    POINT centre { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    SetCursorPos(centre.x, centre.y);
    // A disabled child gets no mouse input: the move arrives at the main
    // window, whose loop relays it to the tooltip.
    POINT client = centre;
    ScreenToClient(w.hwnd(), &client);
    MSG move { w.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y), GetTickCount(), centre };
    w.preTranslate(move); // one move, then the pointer rests
    const HWND tip = w.tooltipWindow();
    const bool shown
        = pumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, [&](MSG& msg) { return w.preTranslate(msg); });
    ASSERT_TRUE(shown);
    TTTOOLINFOW info {};
    info.cbSize = sizeof info;
    wchar_t text[256] {};
    info.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(text::wideToUtf8(text), w.tooltipText(ToolbarCard::newFile));
    EXPECT_NE(text::wideToUtf8(text).find(L10n::text(L10nKey::tooltipUnavailableWhileRecording, AppLanguage::enUS)),
        std::string::npos);
}

TEST(MainWindow, PlacementIsRestoredOnScreenAndRefusedOffIt)
{
    Fixture f;
    auto& w = *f.window;
    log::LogCapture capture;
    const WindowPlacement before = *w.capturePlacement();
    w.restorePlacement({ -50'000, -50'000, 800, 600, false });
    EXPECT_TRUE(capture.contains("不在任何螢幕範圍內，改用預設版面"));
    EXPECT_EQ(*w.capturePlacement(), before);
    w.restorePlacement({ 10, 10, 0, 600, false }); // no width: ignored without a line
    w.restorePlacement({ 2'147'483'000, 10, 5'000, 600, false }); // cannot be a rectangle
    EXPECT_EQ(capture.count("改用預設版面"), 1);
    EXPECT_EQ(*w.capturePlacement(), before);

    const int width = scale(1000, uiDpi());
    const int height = scale(900, uiDpi()); // above the minimum tracking size
    w.restorePlacement({ 40, 30, width, height, false });
    EXPECT_EQ(*w.capturePlacement(), (WindowPlacement { 40, 30, width, height, false }));
    // Saved while maximized: opens maximized and keeps the normal rectangle.
    w.restorePlacement({ 60, 50, width, height, true });
    const auto maximized = w.capturePlacement();
    ASSERT_TRUE(maximized);
    EXPECT_TRUE(maximized->isMaximized);
    EXPECT_EQ(maximized->x, 60);
    EXPECT_EQ(maximized->width, width);
    EXPECT_TRUE(IsZoomed(w.hwnd()));
}

// A placement from a larger screen, and the minimum size at any scale,
// never put any part of the window outside the work area.
TEST(MainWindow, TheWindowAlwaysFitsTheWorkArea)
{
    Fixture f;
    auto& w = *f.window;
    RECT work {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const int workWidth = work.right - work.left;
    const int workHeight = work.bottom - work.top;
    w.restorePlacement({ 100, 200, workWidth + 300, workHeight + 66, false });
    const WindowPlacement fitted = *w.capturePlacement();
    EXPECT_EQ(fitted.width, workWidth);
    EXPECT_EQ(fitted.height, workHeight);
    EXPECT_EQ(fitted.x, 0);
    EXPECT_EQ(fitted.y, 0);
    w.restorePlacement({ workWidth - 500, workHeight - 100, scale(1000, uiDpi()), scale(900, uiDpi()), false });
    const WindowPlacement moved = *w.capturePlacement();
    EXPECT_LE(moved.x + moved.width, workWidth);
    EXPECT_LE(moved.y + moved.height, workHeight);

    MINMAXINFO info {};
    SendMessageW(w.hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_LE(info.ptMinTrackSize.x, workWidth);
    EXPECT_LE(info.ptMinTrackSize.y, workHeight);
    EXPECT_GT(info.ptMinTrackSize.y, 0);
}

TEST(MainWindow, RowsOverflowingThePageMakeRoomForTheScrollBarWithoutAHorizontalOne)
{
    Fixture f(AppLanguage::enUS, 0);
    auto& w = *f.window;
    const HWND list = w.recordTable().hwnd();
    const int perPage = ListView_GetCountPerPage(list);
    ASSERT_GT(perPage, 0);
    for (int i = 0; i < perPage + 3; ++i) {
        f.readings.push_back(volts(1.7e9 + i));
        w.appendRecord(f.readings.back(), i + 1);
    }
    f.pump();
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
    // Typing in the table searches nothing and moves nothing.
    SetFocus(list);
    SendMessageW(list, WM_CHAR, L'7', 0);
    EXPECT_TRUE(w.recordTable().selectedRows().empty());
}
