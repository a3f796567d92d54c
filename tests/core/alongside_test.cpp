// Two pieces of work at once: both are done when the call returns, and a
// failure of either reaches the caller only after both are.

#include "core/alongside.h"
#include "core/pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
    EXPECT_LE(made.load(), 5u + 6u);

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
