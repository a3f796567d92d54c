// Two pieces of work at once: both are done when the call returns, and a
// failure of either reaches the caller only after both are.

#include "core/alongside.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

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

} // namespace
} // namespace zelmar
