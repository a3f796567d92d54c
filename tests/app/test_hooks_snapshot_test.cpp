// The test hooks' parse rules, the layout picture's BMP bytes and the menu
// preview's choice of menu and item fields.

#include "app/test_hooks.h"
#include "app/window_snapshot.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zelmar;

TEST(TestHooks, EachVariableByItsRule)
{
    const TestHooks none = TestHooks::read({});
    EXPECT_FALSE(none.anyActive());
    EXPECT_EQ(none.snapshotDelayMs, 4000u);

    const TestHooks all = TestHooks::read({
        { "ZELMAR_TEST_DATA_DIR", "C:\\data" },
        { "ZELMAR_TEST_AUTORECORD", "1" },
        { "ZELMAR_TEST_INTERVAL", "+0009" },
        { "ZELMAR_TEST_RECOVERY", "discard" },
        { "ZELMAR_TEST_AUTOCLOSE_MS", "4294967295" },
        { "ZELMAR_TEST_AUTOSAVE", "C:\\out.zmd" },
        { "ZELMAR_TEST_OPEN_PATH", "C:\\in.zmd" },
        { "ZELMAR_TEST_SHOT", "C:\\shot.bmp" },
        { "ZELMAR_TEST_SHOT_DELAY_MS", "250" },
        { "ZELMAR_TEST_SHOT_MENU", "View" },
        { "ZELMAR_TEST_UPDATE", "Install" },
        { "ZELMAR_TEST_SLOW_CLOSE_MS", "12000" },
    });
    EXPECT_EQ(all.dataDirectory, "C:\\data");
    EXPECT_TRUE(all.autoRecord);
    EXPECT_EQ(all.intervalOverride, 9);
    EXPECT_EQ(all.recoveryAnswer, RecoveryAnswer::discard);
    EXPECT_EQ(all.autoCloseMs, 4294967295u);
    EXPECT_EQ(all.snapshotDelayMs, 250u);
    EXPECT_EQ(all.snapshotMenu, "view");
    EXPECT_EQ(all.updateMode, UpdateMode::install);
    EXPECT_EQ(all.slowCloseMs, 12000u);
    EXPECT_TRUE(all.anyActive());
    EXPECT_TRUE(TestHooks::read({ { "ZELMAR_TEST_SLOW_CLOSE_MS", "1" } }).anyActive());

    // Near misses are not set.
    const TestHooks near = TestHooks::read({
        { "ZELMAR_TEST_DATA_DIR", "" },
        { "ZELMAR_TEST_AUTORECORD", "true" },
        { "ZELMAR_TEST_INTERVAL", "1.5" },
        { "ZELMAR_TEST_RECOVERY", "Restore" },
        { "ZELMAR_TEST_AUTOCLOSE_MS", "4294967296" },
        { "ZELMAR_TEST_SHOT_DELAY_MS", "-1" },
        { "ZELMAR_TEST_UPDATE", "yes" },
    });
    EXPECT_FALSE(near.dataDirectory);
    EXPECT_FALSE(near.autoRecord);
    EXPECT_FALSE(near.intervalOverride);
    EXPECT_FALSE(near.recoveryAnswer);
    EXPECT_FALSE(near.autoCloseMs);
    EXPECT_EQ(near.snapshotDelayMs, 4000u);
    EXPECT_FALSE(near.updateMode);
    EXPECT_FALSE(near.anyActive());
    // The picture's menu and delay alone change no behaviour.
    EXPECT_FALSE(TestHooks::read({ { "ZELMAR_TEST_SHOT_MENU", "file" } }).anyActive());
    EXPECT_EQ(TestHooks::read({ { "ZELMAR_TEST_INTERVAL", "-5" } }).intervalOverride, -5);
}

TEST(WindowSnapshot, BmpOf800By620HasTheExactHeader)
{
    const int width = 800;
    const int height = 620; // a 600-pixel client and a 20-pixel menu band
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4, 0x5A);
    const auto file = WindowSnapshot::bmpFile(width, height, pixels);
    ASSERT_EQ(file.size(), 54u + 800u * 620u * 4u);
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, file.data() + at, 4);
        return v;
    };
    auto u16 = [&](std::size_t at) {
        std::uint16_t v = 0;
        std::memcpy(&v, file.data() + at, 2);
        return v;
    };
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(2), 54u + 800u * 620u * 4u);
    EXPECT_EQ(u32(6), 0u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 800u);
    EXPECT_EQ(u32(22), 620u); // positive: bottom-up rows
    EXPECT_EQ(u16(26), 1u);
    EXPECT_EQ(u16(28), 32u);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), 800u * 620u * 4u);
    EXPECT_EQ(u32(38), 2835u);
    EXPECT_EQ(u32(42), 2835u);
    EXPECT_EQ(u32(46), 0u);
    EXPECT_EQ(u32(50), 0u);
    EXPECT_EQ(file[54], 0x5A);
    EXPECT_EQ(file.back(), 0x5A);
}

TEST(MenuPreview, ChoosesMenusByNameOrPositionAndSplitsItems)
{
    EXPECT_EQ(MenuPreview::chosenMenu("file", 4), 0);
    EXPECT_EQ(MenuPreview::chosenMenu("view", 4), 2);
    EXPECT_EQ(MenuPreview::chosenMenu("2", 4), 2);
    EXPECT_EQ(MenuPreview::chosenMenu("+3", 4), 3);
    EXPECT_FALSE(MenuPreview::chosenMenu("9", 4));
    EXPECT_FALSE(MenuPreview::chosenMenu("-1", 4));
    EXPECT_FALSE(MenuPreview::chosenMenu("tools", 4));
    EXPECT_FALSE(MenuPreview::chosenMenu("", 4));

    const auto save = MenuPreview::item("&Save\tCtrl+S", 0x3);
    EXPECT_EQ(save.label, "&Save");
    EXPECT_EQ(save.accelerator, "Ctrl+S");
    EXPECT_TRUE(save.grayed);
    EXPECT_FALSE(save.checked);
    const auto chart = MenuPreview::item("&Chart", 0x8);
    EXPECT_TRUE(chart.checked);
    EXPECT_TRUE(chart.accelerator.empty());
    EXPECT_TRUE(MenuPreview::item("", 0x800).separator);
    EXPECT_TRUE(MenuPreview::item("Language", 0x210).popup);
}
