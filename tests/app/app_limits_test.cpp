// Limits and the alarm over the scripted window and a scripted meter: the
// dialog's answers (set, Cancel, none), an alarm that starts and ends with
// the readings shown and is logged, heard and drawn once each way, a change
// of function, a close arriving while the dialog is open; and the chart's
// picture written as a file.

#include "app/app_test_rig.h"
#include "meter/meter_responses.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::AppRig;
using testing::Reply;
using testing::validAnswer;

constexpr std::uint8_t dcv = 2;

Limits above(double high, bool beep = true)
{
    return Limits { std::nullopt, high, beep };
}

TEST(AppLimits, AnAlarmStartsAndEndsWithTheReadingsShown)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    rig.meterShows(validAnswer(" 12.000"), 12.0);

    rig.expect({ Reply::limitsSet(above(13.0)) });
    rig.app->editLimits();
    EXPECT_TRUE(rig.allAnswered());
    EXPECT_EQ(rig.dialogs.texts.back(), "For DC Voltage [V]");
    const std::vector<LimitsFor> set { { dcv, "V", above(13.0) } };
    EXPECT_EQ(rig.view->limits, set);
    EXPECT_EQ(SettingsStore(PathProvider(rig.dataDir())).load().limits, set); // kept at once
    EXPECT_TRUE(rig.view->alarms.empty());

    rig.meterShows(validAnswer(" 14.000"), 14.0);
    ASSERT_EQ(rig.view->alarms.size(), 1u);
    EXPECT_EQ(rig.view->alarms.back(), "Alarm: 14 V above the high limit 13 V");
    EXPECT_EQ(rig.view->beeps, 1);
    EXPECT_EQ(rig.logs.count("警報開始："), 1);
    EXPECT_TRUE(rig.logs.contains(" 讀值 14 V（下限 無、上限 13）"));
    // Back below the limit but inside the margin, and an overload: it holds.
    rig.meterShows(validAnswer(" 12.950"), 12.95);
    rig.meterShows(validAnswer("   OL "), std::nullopt);
    EXPECT_EQ(rig.view->alarms.size(), 1u);
    rig.meterShows(validAnswer(" 12.000"), 12.0);
    ASSERT_EQ(rig.view->alarms.size(), 2u);
    EXPECT_EQ(rig.view->alarms.back(), std::nullopt);
    EXPECT_TRUE(rig.logs.contains(" 讀值 12 V\r\n"));
    EXPECT_EQ(rig.view->beeps, 1);

    // Another function ends an alarm in progress.
    rig.meterShows(validAnswer(" 15.000"), 15.0);
    EXPECT_EQ(rig.view->alarms.size(), 3u);
    rig.meterShows(MeterResponses::displayReport({ 6, 1, " 1.000", 0, {} }), 1.0);
    EXPECT_EQ(rig.view->alarms.size(), 4u);
    EXPECT_EQ(rig.view->alarms.back(), std::nullopt);
    EXPECT_TRUE(rig.logs.contains("（功能或單位改變）"));
    // And the limits of volts do not apply to ohms.
    rig.meterShows(MeterResponses::displayReport({ 6, 1, " 99.00", 0, {} }), 99.0);
    EXPECT_EQ(rig.view->alarms.size(), 4u);
}

TEST(AppLimits, CancelKeepsNoneRemovesAndNoMeterSaysWhy)
{
    AppRig rig;
    rig.start();
    rig.expect({ Reply::message() }); // no reading yet: nothing to set limits for
    rig.app->editLimits();
    EXPECT_EQ(rig.dialogs.asked.back(), "message: Limits and Alarm");
    EXPECT_TRUE(rig.allAnswered());

    rig.plugInMeter();
    rig.meterShows(validAnswer(" 20.000"), 20.0);
    rig.expect({ Reply::limitsSet(above(13.0, false)) });
    rig.app->editLimits();
    EXPECT_EQ(rig.view->alarms.size(), 0u); // from the next reading on
    rig.meterShows(validAnswer(" 21.000"), 21.0);
    EXPECT_EQ(rig.view->alarms.size(), 1u);
    EXPECT_EQ(rig.view->beeps, 0); // not asked to beep

    // Cancel changes nothing; the dialog started from what is set.
    rig.expect({ Reply::limitsSet(std::nullopt) });
    rig.app->editLimits();
    EXPECT_EQ(rig.view->limitsAsked.back(), above(13.0, false));
    EXPECT_EQ(SettingsStore(PathProvider(rig.dataDir())).load().limits.size(), 1u);
    EXPECT_EQ(rig.view->alarms.size(), 1u);

    // No limit in either field removes them, and the alarm with them.
    rig.expect({ Reply::limitsSet(Limits {}) });
    rig.app->editLimits();
    EXPECT_TRUE(rig.view->limits.empty());
    EXPECT_TRUE(SettingsStore(PathProvider(rig.dataDir())).load().limits.empty());
    ASSERT_EQ(rig.view->alarms.size(), 2u);
    EXPECT_EQ(rig.view->alarms.back(), std::nullopt);
    EXPECT_TRUE(rig.logs.contains("（上下限已變更）"));
}

// A close while the dialog is open waits for the answer, which is kept.
TEST(AppLimits, ACloseDuringTheDialogWaitsAndTheAnswerIsKept)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    rig.meterShows(validAnswer(" 12.000"), 12.0);
    rig.expect({ Reply::limitsSet(Limits { 1.0, 2.0, false }, [&] { rig.app->requestClose(); }) });
    rig.app->editLimits();
    EXPECT_FALSE(rig.view->destroyed);
    rig.pump();
    EXPECT_TRUE(rig.view->destroyed);
    EXPECT_EQ(SettingsStore(PathProvider(rig.dataDir())).load().limits,
        (std::vector<LimitsFor> { { dcv, "V", { 1.0, 2.0, false } } }));
}

// A file forwarded by a second start while the dialog is open opens once
// it is answered, and the answer is kept.
TEST(AppLimits, AForwardedOpenDuringTheDialogWaitsForTheAnswer)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    rig.meterShows(validAnswer(" 12.000"), 12.0);
    const auto file = rig.makeFile("five.zmd", 5);
    rig.expect({ Reply::limitsSet(above(20.0), [&] {
        rig.app->receiveForwardedPath(file);
        rig.pump();
        EXPECT_EQ(rig.app->session().recordCount(), 0); // not while the dialog is open
    }) });
    rig.app->editLimits();
    rig.pump();
    EXPECT_TRUE(rig.allAnswered());
    EXPECT_EQ(rig.app->session().recordCount(), 5);
    EXPECT_EQ(rig.view->limits, (std::vector<LimitsFor> { { dcv, "V", above(20.0) } }));
}

// Limits set in an earlier run reach the chart and the table at start.
TEST(AppLimits, LimitsFromTheSettingsAreShownAtStart)
{
    AppRig rig;
    rig.settings.limits = { { dcv, "V", above(5.0) } };
    rig.start();
    EXPECT_EQ(rig.view->limits, rig.settings.limits);
    rig.plugInMeter();
    rig.meterShows(validAnswer(" 6.000"), 6.0);
    EXPECT_EQ(rig.view->alarms.size(), 1u);
}

TEST(AppFiles, TheChartPictureIsWrittenWhereTheUserSays)
{
    AppRig rig;
    rig.start();
    const auto target = rig.dir.path() / "chart.png";
    const std::string path = target.string();
    rig.expect({ Reply::savePath(path) });
    rig.app->exportChartImage();
    EXPECT_TRUE(rig.dialogs.proposedNames.back().ends_with(".png"));
    EXPECT_EQ(testing::readFile(target), std::string("\x89PNG", 4));
    EXPECT_TRUE(rig.logs.contains("已匯出圖表影像（4 位元組）"));

    // Cancel: nothing. A folder that does not exist, or no picture: a box
    // says why, and nothing is written.
    rig.expect({ Reply::savePath(std::nullopt) });
    rig.app->exportChartImage();
    const std::string missing = (rig.dir.path() / "no-such-folder" / "chart.png").string();
    rig.expect({ Reply::savePath(missing), Reply::message() });
    rig.app->exportChartImage();
    EXPECT_EQ(rig.dialogs.asked.back(), "message: Cannot Export the Chart Image");
    EXPECT_FALSE(std::filesystem::exists(missing));
    rig.view->picture.clear();
    std::filesystem::remove(target);
    rig.expect({ Reply::savePath(path), Reply::message() });
    rig.app->exportChartImage();
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(rig.allAnswered());
}

// A forwarded open, then a close, arriving while the save dialog is open:
// the picture is written where the user said, then the close runs and the
// open queued before it is dropped, as for every other question.
TEST(AppFiles, TheChartPictureDialogHoldsAForwardedOpenAndAClose)
{
    AppRig rig;
    rig.start();
    const auto file = rig.makeFile("five.zmd", 5);
    const auto target = rig.dir.path() / "chart.png";
    rig.expect({ Reply::savePath(target.string(), [&] {
        rig.app->receiveForwardedPath(file);
        rig.app->requestClose();
        EXPECT_FALSE(rig.view->destroyed);
    }) });
    rig.app->exportChartImage();
    EXPECT_TRUE(std::filesystem::exists(target));
    rig.pump();
    EXPECT_TRUE(rig.allAnswered());
    EXPECT_TRUE(rig.view->destroyed);
    EXPECT_TRUE(rig.logs.contains("已匯出圖表影像"));
    EXPECT_TRUE(rig.logs.contains("轉交開檔：程式關閉中，略過"));
    EXPECT_EQ(rig.app->session().recordCount(), 0);
}

} // namespace
} // namespace zelmar
