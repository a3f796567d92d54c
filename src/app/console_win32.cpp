#include "app/console.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace zelmar::console {

namespace {
std::atomic<bool> g_stop { false };

BOOL WINAPI onControl(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_stop = true;
        return TRUE; // the main loop saves and exits by itself
    default:
        return FALSE;
    }
}
} // namespace

void installStopHandler()
{
    SetConsoleCtrlHandler(onControl, TRUE);
}

void requestStop() noexcept
{
    g_stop = true;
}

bool stopRequested() noexcept
{
    return g_stop;
}

bool stdoutIsTerminal() noexcept
{
    return _isatty(_fileno(stdout)) != 0;
}

bool stderrIsTerminal() noexcept
{
    return _isatty(_fileno(stderr)) != 0;
}

void useUtf8Output() noexcept
{
    SetConsoleOutputCP(CP_UTF8);
    // The status line is redrawn with "erase to end of line" (ESC [ K),
    // which consoles follow once asked to.
    for (const DWORD which : { STD_OUTPUT_HANDLE, STD_ERROR_HANDLE }) {
        HANDLE console = GetStdHandle(which);
        DWORD mode = 0;
        if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode))
            SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

void useBinaryStandardOutput() noexcept
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

} // namespace zelmar::console
