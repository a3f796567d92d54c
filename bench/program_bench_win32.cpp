// The window program's costs under Wine and Xvfb (Windows build), with the
// simulated meter:
//   - process start to first paint of DMM5174K.exe (a second process);
//   - opening a 600,000-record .zmd as the menu does, until the table and
//     the chart show it, against the library's own open of the same file;
//   - saving it, against the library's own save;
//   - closing with a large unsaved set and the automatic save;
//   - with --record-minutes N: the process CPU while recording at a
//     1-second interval for N minutes (the program's share of one core).
// Usage: zelmar_program_bench.exe [--record-minutes N]

#include "app/gui/window_app_view_win32.h"
#include "core/text_encoding.h"
#include "security/signature_service.h"
#include "storage/journal_record.h"
#include "storage/zmd_file.h"

#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>
#include <thread>

using namespace zelmar;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double cpuSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

void pumpFor(std::chrono::milliseconds span)
{
    const auto until = Clock::now() + span;
    while (Clock::now() < until) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void pumpUntilIdle()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring folderOfThisProgram()
{
    wchar_t module[1024];
    const DWORD n = GetModuleFileNameW(nullptr, module, 1024);
    std::wstring path(module, n);
    return path.substr(0, path.find_last_of(L"\\/"));
}

// A second process: from CreateProcess until its main window exists and has
// answered a message sent after its first paint.
void processStartToFirstPaint(const std::wstring& program, const std::filesystem::path& data)
{
    SetEnvironmentVariableW(L"ZELMAR_TEST_METER", L"sim");
    SetEnvironmentVariableW(L"ZELMAR_TEST_DATA_DIR", data.c_str());
    SetEnvironmentVariableW(L"ZELMAR_TEST_AUTOCLOSE_MS", L"1500");
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    std::wstring command = L"\"" + program + L"\"";
    const auto start = Clock::now();
    if (!CreateProcessW(
            program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("%-52s cannot start %ls\n", "process start to first paint", program.c_str());
        return;
    }
    HWND window = nullptr;
    while (window == nullptr && Clock::now() - start < std::chrono::seconds(60)) {
        window = FindWindowW(L"DMM5174KMainWindowClass", nullptr);
        if (window == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    DWORD_PTR result = 0;
    // Painting happens when its queue is empty; a message that comes back
    // after that means the first paint is done.
    while (window != nullptr && !IsWindowVisible(window) && Clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    std::printf("%-52s %9.1f ms\n", "process start to first paint", ms(Clock::now() - start));
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    SetEnvironmentVariableW(L"ZELMAR_TEST_AUTOCLOSE_MS", nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int recordMinutes = 0;
    if (argc == 3 && std::wcscmp(argv[1], L"--record-minutes") == 0)
        recordMinutes = std::max(1, _wtoi(argv[2]));

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path work = std::filesystem::path(temp) / "zelmar-program-bench";
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    std::filesystem::create_directories(work / "data");

    const std::wstring folder = folderOfThisProgram();
    const std::wstring program = folder + L"\\..\\program\\DMM5174K.exe";
    processStartToFirstPaint(program, work / "start-data");

    // The file: 600,000 records written by the library.
    ZmdDocument document { "DMM-5174K", "bench", 1.7e9, 0, {} };
    for (int i = 0; i < 600'000; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.3f", 5.0 + 2.0 * std::sin(i / 900.0));
        document.records.push_back(JournalRecord::from(Reading(1.7e9 + i, 2, 1, text, {}, 0)));
    }
    const auto big = work / "big.zmd";
    auto t0 = Clock::now();
    if (!ZmdFile::save(document, big, ZmdSignatureService::shared())) {
        std::printf("cannot write %ls\n", big.c_str());
        return 1;
    }
    const double librarySave = ms(Clock::now() - t0);
    t0 = Clock::now();
    const auto opened = ZmdFile::open(big, "DMM-5174K", ZmdSignatureService::shared());
    const double libraryOpen = ms(Clock::now() - t0);
    if (!opened)
        return 1;

    AppStartup startup;
    startup.language = AppLanguage::enUS;
    startup.dataDirectory = work / "data";
    startup.environment["ZELMAR_TEST_METER"] = "sim";
    startup.hooks.autoCloseMs = 4'000'000'000u; // answers the close questions; never fires in a run
    startup.hooks.autoSavePath = text::wideToUtf8((work / "closing.zmd").wstring());
    t0 = Clock::now();
    auto made = createWindowProgram(std::move(startup), GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE);
    if (!made) {
        std::printf("controller: %s\n", made.error().c_str());
        return 1;
    }
    auto controller = made->controller;
    ui::win32::MainWindow* const window = made->window;
    pumpUntilIdle();
    std::printf("%-52s %9.1f ms\n", "controller and window to first paint (in process)", ms(Clock::now() - t0));

    const std::string path = text::wideToUtf8(big.wstring());
    t0 = Clock::now();
    controller->openDocument(path, false);
    pumpUntilIdle(); // the table and the chart have painted it
    const double programOpen = ms(Clock::now() - t0);
    std::printf("%-52s %9.1f ms\n", "library open of 600,000 records", libraryOpen);
    std::printf("%-52s %9.1f ms  (%.2f x the library)\n", "program open until table and chart show it", programOpen,
        programOpen / libraryOpen);

    {
        // Where the program's open spends its time beyond the library's.
        t0 = Clock::now();
        controller->session().loadRecords(std::span<const JournalRecord>(opened->records), 0);
        const double load = ms(Clock::now() - t0);
        t0 = Clock::now();
        window->reloadRecords(controller->session().recordCount());
        pumpUntilIdle();
        const double show = ms(Clock::now() - t0);
        std::printf("%-52s %9.1f ms\n", "  of which loading them (readings made, journal rewritten)", load);
        std::printf("%-52s %9.1f ms\n", "  of which table and chart", show);
    }

    const std::string copy = text::wideToUtf8((work / "copy.zmd").wstring());
    t0 = Clock::now();
    controller->write(copy, true);
    const double programSave = ms(Clock::now() - t0);
    std::printf("%-52s %9.1f ms\n", "library save of 600,000 records", librarySave);
    std::printf("%-52s %9.1f ms  (%.2f x the library)\n", "program save", programSave, programSave / librarySave);

    if (recordMinutes > 0) {
        // An empty set without New File's confirmation box.
        controller->session().newDataSet();
        window->resetRecords();
        window->setInterval(1);
        controller->startRecording();
        const double cpu0 = cpuSeconds(GetCurrentProcess());
        const auto wall0 = Clock::now();
        pumpFor(std::chrono::minutes(recordMinutes));
        const double cpu = cpuSeconds(GetCurrentProcess()) - cpu0;
        const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
        std::printf("%-52s %9.2f %% of one core over %.0f s (%d records)\n", "CPU while recording at 1 s",
            100.0 * cpu / wall, wall, controller->session().recordCount());
        controller->stopRecording();
    }

    // A large unsaved set: a few samples after opening a file just under
    // the record limit (at the limit, recording would refuse with a box).
    document.records.resize(599'990);
    const auto almost = work / "almost.zmd";
    if (!ZmdFile::save(document, almost, ZmdSignatureService::shared()))
        return 1;
    controller->openDocument(text::wideToUtf8(almost.wstring()), false);
    window->setInterval(1);
    controller->startRecording();
    pumpFor(std::chrono::milliseconds(1500));
    const int unsavedRecords = controller->session().recordCount();
    const bool unsaved = controller->unsaved();
    t0 = Clock::now();
    controller->requestClose(); // stops, saves to the automatic path, closes
    pumpUntilIdle();
    std::printf("%-52s %9.1f ms  (%d records%s)\n", "close with an unsaved set and the automatic save",
        ms(Clock::now() - t0), unsavedRecords, unsaved ? "" : ", NOT unsaved");
    controller->shutdownKeepingJournal();
    std::filesystem::remove_all(work, ec);
    return 0;
}
