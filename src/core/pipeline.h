#pragma once

// Pieces of text made on a second core while this thread takes them, in
// order and a few ahead at most. make(index, buffer) fills piece `index` of
// `count` into an emptied buffer; take(buffer) uses it. The few buffers go
// round and round, so their memory is touched once however many pieces
// pass through (a large file's worth of fresh memory costs about what
// writing it does). Either answering false stops both; the answer is
// whether every piece was made and taken. What either throws is thrown here
// once both have stopped. Where no thread can be started, each piece is
// made and taken in turn on this thread.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace zelmar {

template <typename Make, typename Take> bool runPipelined(std::size_t count, Make&& make, Take&& take)
{
    constexpr std::size_t ahead = 4;
    std::array<std::string, ahead> buffers;
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t made = 0; // pieces ready, in order
    std::size_t taken = 0;
    bool stopped = false;
    std::exception_ptr makerFailed;

    const auto stop = [&] {
        {
            const std::lock_guard lock(mutex);
            stopped = true;
        }
        changed.notify_all();
    };
    const auto maker = [&] {
        try {
            for (std::size_t i = 0; i < count; ++i) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stopped || i - taken < ahead; });
                    if (stopped)
                        return;
                }
                std::string& buffer = buffers[i % ahead];
                buffer.clear();
                if (!make(i, buffer)) {
                    stop();
                    return;
                }
                {
                    const std::lock_guard lock(mutex);
                    made = i + 1;
                }
                changed.notify_all();
            }
        } catch (...) {
            makerFailed = std::current_exception();
            stop();
        }
    };

    std::thread thread;
    try {
        thread = std::thread(maker);
    } catch (const std::system_error&) {
        for (std::size_t i = 0; i < count; ++i) {
            std::string& buffer = buffers[0];
            buffer.clear();
            if (!make(i, buffer) || !take(buffer))
                return false;
        }
        return true;
    }

    bool all = true;
    try {
        for (std::size_t i = 0; i < count && all; ++i) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopped || made > i; });
                if (made <= i) {
                    all = false;
                    break;
                }
            }
            all = take(buffers[i % ahead]);
            {
                const std::lock_guard lock(mutex);
                taken = i + 1;
            }
            changed.notify_all();
        }
    } catch (...) {
        stop();
        thread.join();
        throw;
    }
    if (!all)
        stop();
    thread.join();
    if (makerFailed)
        std::rethrow_exception(makerFailed);
    return all;
}

} // namespace zelmar
