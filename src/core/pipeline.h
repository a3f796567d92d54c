#pragma once

// Pieces of text made on both cores while this thread takes them in order.
// make(index, buffer, maker) fills piece `index` of `count` into an emptied
// buffer; maker is 0 on this thread and 1 on the second, so each can keep
// its own state (caches), and a piece must not depend on which one made it.
// take(buffer) uses the pieces in order on this thread, which makes pieces
// itself whenever the next one is not ready yet, so neither core waits
// while there is work. A few buffers go round and round, so their memory is
// touched once however many pieces pass through (a large file's worth of
// fresh memory costs about what writing it does). Either answering false
// stops both; the answer is whether every piece was made and taken. What
// either throws is thrown here once both have stopped. For a single piece,
// or where no thread can be started, this thread makes every piece.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace zelmar {

template <typename Make, typename Take> bool runPipelined(std::size_t count, Make&& make, Take&& take)
{
    constexpr std::size_t ahead = 6;
    struct Slot {
        std::string buffer;
        bool ready = false;
    };
    std::array<Slot, ahead> slots;
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t claimed = 0; // pieces given to a maker, in order
    std::size_t taken = 0;
    bool stopped = false;
    std::exception_ptr sideFailed;

    const auto claimable = [&] { return claimed < count && claimed - taken < ahead; };
    const auto stop = [&] {
        {
            const std::lock_guard lock(mutex);
            stopped = true;
        }
        changed.notify_all();
    };
    // Makes a claimed piece outside the lock; false when it stopped both.
    const auto makePiece = [&](std::size_t index, int maker) {
        Slot& slot = slots[index % ahead];
        slot.buffer.clear();
        const bool made = make(index, slot.buffer, maker);
        {
            const std::lock_guard lock(mutex);
            if (made)
                slot.ready = true;
            else
                stopped = true;
        }
        changed.notify_all();
        return made;
    };
    const auto side = [&] {
        try {
            for (;;) {
                std::size_t index = 0;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stopped || claimed >= count || claimable(); });
                    if (stopped || claimed >= count)
                        return;
                    index = claimed++;
                }
                if (!makePiece(index, 1))
                    return;
            }
        } catch (...) {
            sideFailed = std::current_exception();
            stop();
        }
    };

    std::thread thread;
    try {
        if (count > 1)
            thread = std::thread(side);
    } catch (const std::system_error&) {
        // This thread alone: it claims and makes every piece below.
    } catch (const std::bad_alloc&) {
    }
    bool all = true;
    try {
        for (std::size_t next = 0; next < count;) {
            Slot& slot = slots[next % ahead];
            std::optional<std::size_t> own;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopped || slot.ready || claimable(); });
                if (stopped) {
                    all = false;
                    break;
                }
                if (!slot.ready)
                    own = claimed++;
            }
            if (own) {
                if (!makePiece(*own, 0)) {
                    all = false;
                    break;
                }
                continue;
            }
            all = take(std::as_const(slot.buffer));
            {
                const std::lock_guard lock(mutex);
                slot.ready = false;
                taken = ++next;
                if (!all)
                    stopped = true;
            }
            changed.notify_all();
            if (!all)
                break;
        }
    } catch (...) {
        stop();
        if (thread.joinable())
            thread.join();
        throw;
    }
    if (thread.joinable())
        thread.join();
    if (sideFailed)
        std::rethrow_exception(sideFailed);
    return all;
}

} // namespace zelmar
