#pragma once

// Two pieces of work on the machine's two cores: `side` on a second thread
// while `work` runs on this one. Both are done when this returns; what
// `side` throws is thrown here after that. Where no thread can be started,
// `side` runs after `work`, on this thread.

#include <exception>
#include <system_error>
#include <thread>

namespace zelmar {

template <typename Work, typename Side> void runAlongside(Work&& work, Side&& side)
{
    std::exception_ptr sideFailed;
    std::thread thread;
    try {
        thread = std::thread([&] {
            try {
                side();
            } catch (...) {
                sideFailed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        work();
        side();
        return;
    }
    try {
        work();
    } catch (...) {
        thread.join();
        throw;
    }
    thread.join();
    if (sideFailed)
        std::rethrow_exception(sideFailed);
}

} // namespace zelmar
