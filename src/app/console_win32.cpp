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
}

void useBinaryStandardOutput() noexcept
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

} // namespace zelmar::console
