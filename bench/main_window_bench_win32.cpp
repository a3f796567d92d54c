// The whole main window under Wine and Xvfb (Windows build), with a row
// source of 600,000 generated readings:
//   - creation to first paint (every child painted, the queue idle);
//   - one full repaint of the window and all its children;
//   - appending records at 10 per second for a few seconds while the table
//     follows the newest row: the cost of each append and the CPU used;
//   - the process memory above the records themselves, for the table alone
//     (which must hold no row) and for the whole window (the chart keeps one
//     small sample per record by design).
// Prints median and best where runs repeat.

#include "ui/chart_view_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/main_window_win32.h"
#include "ui/record_table_view_win32.h"

#include "core/text_encoding.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t recordCount = 600'000;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double privateMiB()
{
    PROCESS_MEMORY_COUNTERS counters {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void pumpUntilIdle()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void report(const char* what, std::vector<double> runs)
{
    std::ranges::sort(runs);
    std::printf("%-44s median %8.2f ms   best %8.2f ms   worst %8.2f ms   (%zu runs)\n", what, runs[runs.size() / 2],
        runs.front(), runs.back(), runs.size());
}

} // namespace

int main()
{
    std::vector<Reading> records;
    records.reserve(recordCount + 64);
    for (std::size_t i = 0; i < recordCount; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.3f", 5.0 + 2.0 * std::sin(static_cast<double>(i) / 900.0));
        records.emplace_back(1.7e9 + static_cast<double>(i), 2, 0, text, DmmFlags {}, 0);
    }
    const double withRecords = privateMiB();

    const auto start = Clock::now();
    auto made = MainWindow::create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE, AppLanguage::enUS);
    if (!made) {
        std::fprintf(stderr, "main window: %s\n", made.error().c_str());
        return 1;
    }
    auto& window = **made;
    pumpUntilIdle();
    const auto firstPaint = Clock::now() - start;
    std::printf("%-44s %8.2f ms\n", "creation to first paint (empty)", ms(firstPaint));
    const double emptyWindow = privateMiB();

    window.setRowProvider([&records](std::size_t i) -> std::optional<Reading> {
        if (i >= records.size())
            return std::nullopt;
        return records[i];
    });
    window.recordTable().setItemCountResetting(6'000);
    pumpUntilIdle();
    const double tableSmall = privateMiB();
    window.recordTable().setItemCountResetting(recordCount);
    pumpUntilIdle();
    const double tableLoaded = privateMiB();
    const auto loadStart = Clock::now();
    window.reloadRecords(static_cast<std::int64_t>(recordCount));
    pumpUntilIdle();
    std::printf("%-44s %8.2f ms\n", "reload 600,000 rows (table and chart)", ms(Clock::now() - loadStart));
    const double allLoaded = privateMiB();

    std::vector<double> repaints;
    for (int i = 0; i < 15; ++i) {
        const auto t0 = Clock::now();
        RedrawWindow(
            window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        GdiFlush();
        repaints.push_back(ms(Clock::now() - t0));
    }
    report("full repaint, 600,000 rows", repaints);
    {
        std::vector<double> runs;
        for (int i = 0; i < 15; ++i) {
            const auto t0 = Clock::now();
            RedrawWindow(window.hwnd(), nullptr, nullptr,
                RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_NOCHILDREN);
            GdiFlush();
            runs.push_back(ms(Clock::now() - t0));
        }
        report("  of which the window without children", runs);
        runs.clear();
        for (int i = 0; i < 15; ++i) {
            const auto t0 = Clock::now();
            RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_NOCHILDREN);
            GdiFlush();
            runs.push_back(ms(Clock::now() - t0));
        }
        report("  of which the client without children", runs);
    }
    for (auto [name, hwnd] : { std::pair { "  of which the LCD panel", window.lcdPanel().hwnd() },
             std::pair { "  of which the chart", window.chartView().hwnd() },
             std::pair { "  of which the record table", window.recordTable().hwnd() },
             std::pair { "  of which the status bar", window.statusBar() },
             std::pair { "  of which one card", window.cardWindow(ToolbarCard::start) },
             std::pair { "  of which the list header", window.recordTable().headerHwnd() } }) {
        std::vector<double> runs;
        for (int i = 0; i < 15; ++i) {
            const auto t0 = Clock::now();
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            GdiFlush();
            runs.push_back(ms(Clock::now() - t0));
        }
        report(name, runs);
    }

    // Recording: one record every 100 ms for 3 s, the table following.
    window.setRecording(true);
    std::vector<double> appends;
    const double cpuBefore = cpuSeconds();
    const auto recordStart = Clock::now();
    for (int i = 0; i < 30; ++i) {
        const auto due = recordStart + std::chrono::milliseconds(100 * (i + 1));
        while (Clock::now() < due) {
            pumpUntilIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        records.emplace_back(1.7e9 + static_cast<double>(records.size()), 2, 0, "5.000", DmmFlags {}, 0);
        const auto t0 = Clock::now();
        window.appendRecord(records.back(), static_cast<std::int64_t>(records.size()));
        pumpUntilIdle();
        appends.push_back(ms(Clock::now() - t0));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - recordStart).count();
    const double cpu = cpuSeconds() - cpuBefore;
    report("append one record and repaint what changed", appends);
    std::vector<double> counts;
    for (int i = 0; i < 15; ++i) {
        const auto t0 = Clock::now();
        window.recordTable().setItemCountAppending(records.size());
        counts.push_back(ms(Clock::now() - t0));
    }
    report("  of which the table's new count", counts);
    std::printf(
        "%-44s %8.1f %% of one core over %.1f s\n", "CPU while recording at 10 records/s", 100.0 * cpu / wall, wall);
    std::printf("%-44s %s\n", "table follows the newest row", window.recordTable().followingLatest() ? "yes" : "NO");

    std::printf("%-44s %8.2f MiB\n", "memory: the 600,000 records themselves", withRecords);
    std::printf("%-44s %8.2f MiB\n", "memory: empty window above the records", emptyWindow - withRecords);
    std::printf("%-44s %8.2f MiB\n", "memory: table with 6,000 rows (increase)", tableSmall - emptyWindow);
    std::printf("%-44s %8.2f MiB\n", "memory: table from 6,000 to 600,000 rows", tableLoaded - tableSmall);
    std::printf("%-44s %8.2f MiB\n", "memory: table and chart loaded (increase)", allLoaded - emptyWindow);
    window.destroy();
    return 0;
}
