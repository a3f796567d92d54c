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
}

bool stopRequested() noexcept
{
    return g_stop != 0;
}

bool stdoutIsTerminal() noexcept
{
    return ::isatty(STDOUT_FILENO) != 0;
}

void useUtf8Output() noexcept { }

} // namespace zelmar::console
