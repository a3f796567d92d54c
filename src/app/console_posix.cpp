#include "app/console.h"

#include <csignal>

#include <unistd.h>

namespace zelmar::console {

namespace {
volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}
} // namespace

void installStopHandler()
{
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader that went away shows as a failed write (EPIPE), which ends
    // the run in order; the signal's default would end it without saving.
    signal(SIGPIPE, SIG_IGN);
}

void requestStop() noexcept
{
    g_stop = 1;
}

bool stopRequested() noexcept
{
    return g_stop != 0;
}

bool stdoutIsTerminal() noexcept
{
    return ::isatty(STDOUT_FILENO) != 0;
}

bool stderrIsTerminal() noexcept
{
    return ::isatty(STDERR_FILENO) != 0;
}

void useUtf8Output() noexcept { }

void useBinaryStandardOutput() noexcept { }

} // namespace zelmar::console
