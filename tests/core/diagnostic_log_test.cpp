#include "core/diagnostic_log.h"

#include <gtest/gtest.h>

#include <thread>

namespace zelmar::log {
namespace {

TEST(DiagnosticLog, LinesCarryPrefixTextAndCrLf)
{
    LogCapture capture;
    write(Module::session, "輪詢執行緒已啟動（週期 500 ms）");
    write(Module::app, "x");
    write(Module::ui, "");
    writeRaw("[DMMSession] 輪詢執行緒已停止\r\n");
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[DMMSession] 輪詢執行緒已啟動（週期 500 ms）\r\n");
    EXPECT_EQ(lines[1], "[DMMApp] x\r\n");
    EXPECT_EQ(lines[2], "[DMMUI] \r\n");
    EXPECT_EQ(lines[3], "[DMMSession] 輪詢執行緒已停止\r\n");
    EXPECT_EQ(capture.count("[DMMSession]"), 2);
}

TEST(DiagnosticLog, InnermostCaptureReceivesLinesFromEveryThread)
{
    LogCapture outer;
    {
        LogCapture inner;
        std::thread a([] {
            for (int i = 0; i < 100; ++i)
                write(Module::session, "a");
        });
        std::thread b([] {
            for (int i = 0; i < 100; ++i)
                write(Module::ui, "b");
        });
        a.join();
        b.join();
        EXPECT_EQ(inner.lines().size(), 200u);
    }
    write(Module::app, "after");
    EXPECT_EQ(outer.lines().size(), 1u);
}

} // namespace
} // namespace zelmar::log
