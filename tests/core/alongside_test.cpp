// Two pieces of work at once: both are done when the call returns, and a
// failure of either reaches the caller only after both are.

#include "core/alongside.h"
#include "core/pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelmar {
namespace {

TEST(RunAlongside, BothFinishAndFailuresComeAfter)
{
    int work = 0, side = 0;
    runAlongside([&] { work = 1; }, [&] { side = 2; });
    EXPECT_EQ(work + side, 3);

    // The side's failure is thrown here, once the work is done too.
    std::atomic<bool> workDone = false;
    EXPECT_THROW(runAlongside(
                     [&] {
                         std::this_thread::sleep_for(std::chrono::milliseconds(20));
                         workDone = true;
                     },
                     [] { throw std::runtime_error("side"); }),
        std::runtime_error);
    EXPECT_TRUE(workDone);

    // The work's failure waits for the side to finish.
    std::atomic<bool> sideDone = false;
    EXPECT_THROW(runAlongside([] { throw std::logic_error("work"); },
                     [&] {
                         std::this_thread::sleep_for(std::chrono::milliseconds(20));
                         sideDone = true;
                     }),
        std::logic_error);
    EXPECT_TRUE(sideDone);
}

// Pieces arrive in order whatever the two threads' pace, each whole; a
// false from either side stops both, and a throw reaches the caller once
// both have stopped.
TEST(RunPipelined, PiecesArriveInOrderAndEitherSideStopsBoth)
{
    const auto makePiece = [](std::size_t i, std::string& buffer, int) {
        EXPECT_TRUE(buffer.empty());
        buffer = "piece " + std::to_string(i) + ";";
        if (i % 7 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    };
    std::string all;
    EXPECT_TRUE(runPipelined(100, makePiece, [&](const std::string& piece) {
        all += piece;
        return true;
    }));
    std::string expected;
    for (int i = 0; i < 100; ++i)
        expected += "piece " + std::to_string(i) + ";";
    EXPECT_EQ(all, expected);
    EXPECT_TRUE(runPipelined(0, makePiece, [](const std::string&) { return false; }));

    // Piece 30 cannot be made: whatever was taken is the pieces before it,
    // in order.
    std::vector<std::string> taken;
    EXPECT_FALSE(runPipelined(
        100, [&](std::size_t i, std::string& buffer, int maker) { return i != 30 && makePiece(i, buffer, maker); },
        [&](const std::string& piece) {
            taken.push_back(piece);
            return true;
        }));
    ASSERT_LE(taken.size(), 30u);
    for (std::size_t i = 0; i < taken.size(); ++i)
        EXPECT_EQ(taken[i], "piece " + std::to_string(i) + ";");

    // The taker stops at its fifth piece: the makers never run far ahead.
    std::atomic<std::size_t> made = 0;
    int calls = 0;
    EXPECT_FALSE(runPipelined(
        1000,
        [&](std::size_t i, std::string& buffer, int maker) {
            ++made;
            return makePiece(i, buffer, maker);
        },
        [&](const std::string&) { return ++calls < 5; }));
    EXPECT_EQ(calls, 5);
    EXPECT_LE(made.load(), 4u + 6u); // the four taken and a full ring

    // A buffer is made again only once its piece has been taken: while the
    // first piece is held, the second thread fills the rest of the ring and
    // must then wait.
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t ready = 0, done = 0;
    std::vector<std::string> seen;
    EXPECT_TRUE(runPipelined(
        40,
        [&](std::size_t i, std::string& buffer, int maker) {
            {
                const std::lock_guard lock(mutex);
                EXPECT_GE(done + 6, i + 1) << "piece " << i << " made before piece " << i - 6 << " was taken";
            }
            makePiece(i, buffer, maker);
            {
                const std::lock_guard lock(mutex);
                ++ready;
            }
            changed.notify_all();
            return true;
        },
        [&](const std::string& piece) {
            std::unique_lock lock(mutex);
            if (done == 0)
                changed.wait(lock, [&] { return ready >= 6; });
            seen.push_back(piece);
            ++done;
            return true;
        }));
    ASSERT_EQ(seen.size(), 40u);
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], "piece " + std::to_string(i) + ";");

    EXPECT_THROW(runPipelined(
                     100,
                     [&](std::size_t i, std::string& buffer, int maker) {
                         if (i == 50)
                             throw std::runtime_error("maker");
                         return makePiece(i, buffer, maker);
                     },
                     [](const std::string&) { return true; }),
        std::runtime_error);
    EXPECT_THROW(runPipelined(100, makePiece,
                     [&](const std::string& piece) {
                         if (piece == "piece 3;")
                             throw std::logic_error("taker");
                         return true;
                     }),
        std::logic_error);
}

} // namespace
} // namespace zelmar
