// One writer per data directory: a second holder is refused until the
// first lets go; in both builds (the other program's side is an end-to-end
// run under Wine).

#include "app/instance_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

using namespace zelmar;

TEST(InstanceLock, ASecondHolderIsRefusedUntilTheFirstLetsGo)
{
    const auto dir = std::filesystem::temp_directory_path()
        / ("zelmar-lock-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    {
        auto first = InstanceLock::acquire(dir);
        ASSERT_TRUE(first) << first.error();
        const auto second = InstanceLock::acquire(dir);
        ASSERT_FALSE(second);
        EXPECT_NE(second.error().find("dmm5174k.lock"), std::string::npos);
    }
    EXPECT_TRUE(InstanceLock::acquire(dir)); // released with the first
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
