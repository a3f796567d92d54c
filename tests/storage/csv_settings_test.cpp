#include "storage/csv_exporter.h"
#include "storage/settings.h"
#include "storage/timestamp.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

TEST(CsvExporter, QuotingBomAndLineEnds)
{
    const std::string text = CsvExporter::encode({ "Date", "Value", "Unit" },
        { { "2024-07-03", "a,b", "\u00B0C" }, { "x\"y", " ", "" }, { "line\nbreak", "cr\r" }, {} });
    EXPECT_EQ(text,
        "\xEF\xBB\xBF"
        "Date,Value,Unit\r\n"
        "2024-07-03,\"a,b\",\xC2\xB0"
        "C\r\n"
        "\"x\"\"y\", ,\r\n"
        "\"line\nbreak\",\"cr\r\"\r\n"
        "\r\n");
    EXPECT_EQ(CsvExporter::encode({ "A", "B" }, {}),
        "\xEF\xBB\xBF"
        "A,B\r\n");
}

TEST(CsvExporter, WritesAtomicallyAndLeavesTheOldFileOnFailure)
{
    TempDir dir;
    const auto path = dir / "out.csv";
    ASSERT_TRUE(CsvExporter::exportFile({ "A" }, { { "1" } }, path));
    EXPECT_EQ(readFile(path),
        "\xEF\xBB\xBF"
        "A\r\n1\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.csv.tmp"));
    // A destination in a missing folder fails with an error value.
    const auto failed = CsvExporter::exportFile({ "A" }, {}, dir / "missing" / "x.csv");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, StorageError::Kind::fileSystem);
    // A destination that is a folder fails and the folder is untouched.
    std::filesystem::create_directories(dir / "folder.csv" / "inner");
    EXPECT_FALSE(CsvExporter::exportFile({ "A" }, {}, dir / "folder.csv"));
    EXPECT_TRUE(std::filesystem::exists(dir / "folder.csv" / "inner"));
}

TEST(Settings, DefaultsForMissingOrMalformedFiles)
{
    const AppSettings defaults;
    EXPECT_EQ(defaults.language, "");
    EXPECT_EQ(defaults.recordInterval, 10);
    EXPECT_TRUE(defaults.chartVisible);
    EXPECT_FALSE(defaults.alwaysOnTop);
    EXPECT_TRUE(defaults.autoCheckUpdates);
    EXPECT_FALSE(defaults.lastSaveDirectory || defaults.windowPlacement || defaults.lastUpdateCheck
        || defaults.skippedUpdateVersion || defaults.updateManifestURL);

    TempDir dir;
    SettingsStore store { PathProvider(dir.path()) };
    EXPECT_EQ(store.load(), defaults);
    for (const char* text : { "[]", "not json", "", "null", "42", "{\"language\":" }) {
        writeFile(dir / "settings.json", text);
        EXPECT_EQ(store.load(), defaults) << text;
    }
}

TEST(Settings, EachMemberStandsAlone)
{
    const AppSettings s = SettingsStore::decode(
        R"({"recordInterval":"5","alwaysOnTop":true,"language":"en-US","chartVisible":null,"unknown":1,
            "windowPlacement":{"x":1,"y":2,"width":300,"height":200},"lastSaveDirectory":"C:\\data",
            "lastUpdateCheck":"2025-03-14T01:30:05Z","skippedUpdateVersion":7})");
    EXPECT_EQ(s.recordInterval, 10);
    EXPECT_TRUE(s.alwaysOnTop);
    EXPECT_EQ(s.language, "en-US");
    EXPECT_TRUE(s.chartVisible);
    EXPECT_FALSE(s.windowPlacement); // isMaximized missing
    EXPECT_EQ(s.lastSaveDirectory, "C:\\data");
    EXPECT_EQ(s.lastUpdateCheck, 1741915805.0);
    EXPECT_FALSE(s.skippedUpdateVersion);

    const AppSettings t = SettingsStore::decode(
        R"({"lastUpdateCheck":"2025-03-14T09:30:05.123+08:00","recordInterval":5000000000,
            "windowPlacement":{"x":-10,"y":2,"width":300,"height":200,"isMaximized":true}})");
    ASSERT_TRUE(t.lastUpdateCheck);
    EXPECT_NEAR(*t.lastUpdateCheck, 1741915805.123, 1e-6);
    EXPECT_EQ(t.recordInterval, 10); // out of range for the integer type
    ASSERT_TRUE(t.windowPlacement);
    EXPECT_EQ(*t.windowPlacement, (WindowPlacement { -10, 2, 300, 200, true }));
    EXPECT_FALSE(SettingsStore::decode(R"({"lastUpdateCheck":"yesterday"})").lastUpdateCheck);
    // The file is one JSON object and nothing else, not even after a NUL.
    EXPECT_EQ(SettingsStore::decode(std::string(R"({"recordInterval":5})") + std::string("\0{{{", 4)).recordInterval, 10);
    // A time far from now written by the general encoder reads back.
    AppSettings far;
    far.lastUpdateCheck = 253402300800.0 + 86400;
    EXPECT_EQ(SettingsStore::decode(SettingsStore::encode(far)).lastUpdateCheck, far.lastUpdateCheck);
}

TEST(Settings, NumbersBeyondTheirTypeNeverWrap)
{
    // 2^64 - 1 read as a signed 64-bit number is -1; 2^32 + 100 cut to 32
    // bits is 100. Both are out of range: the member keeps its default.
    for (const char* interval : { "18446744073709551615", "4294967296", "2147483648", "-2147483649", "1.5", "1e3" })
        EXPECT_EQ(SettingsStore::decode(std::string(R"({"recordInterval":)") + interval + "}").recordInterval, 10)
            << interval;
    EXPECT_EQ(SettingsStore::decode(R"({"recordInterval":2147483647})").recordInterval, 2147483647);
    for (const char* x : { "4294967396", "18446744073709551615", "-4294967196", "1.0" })
        EXPECT_FALSE(SettingsStore::decode(
            std::string(R"({"windowPlacement":{"x":)") + x + R"(,"y":0,"width":300,"height":200,"isMaximized":false}})")
                         .windowPlacement)
            << x;
    EXPECT_EQ(SettingsStore::decode(
                  R"({"windowPlacement":{"x":-2147483648,"y":0,"width":300,"height":200,"isMaximized":false}})")
                  .windowPlacement->x,
        INT32_MIN);
}

TEST(Settings, SortedOutputAndRoundTrip)
{
    const std::string plain = SettingsStore::encode(AppSettings {});
    EXPECT_EQ(plain,
        "{\n  \"alwaysOnTop\": false,\n  \"autoCheckUpdates\": true,\n  \"chartVisible\": true,\n"
        "  \"language\": \"\",\n  \"recordInterval\": 10\n}\n");

    AppSettings full;
    full.language = "zh-TW";
    full.recordInterval = 3;
    full.lastSaveDirectory = "/home/\u96FB";
    full.windowPlacement = WindowPlacement { 10, 20, 800, 600, false };
    full.lastUpdateCheck = 1741915805.0;
    full.skippedUpdateVersion = "1.2.0";
    full.updateManifestURL = "https://example.invalid/info.json";
    const std::string text = SettingsStore::encode(full);
    EXPECT_LT(text.find("\"alwaysOnTop\""), text.find("\"lastSaveDirectory\""));
    EXPECT_LT(text.find("\"height\""), text.find("\"isMaximized\""));
    EXPECT_LT(text.find("\"updateManifestURL\""), text.find("\"windowPlacement\""));
    EXPECT_EQ(SettingsStore::decode(text), full);
    const auto timestamp = generalTimestamp(1741915805.0, LocalTimeZone::currentOffsetSeconds());
    EXPECT_NE(text.find(*timestamp), std::string::npos);

    TempDir dir;
    SettingsStore store { PathProvider(dir.path()) };
    ASSERT_TRUE(store.save(full));
    EXPECT_EQ(store.load(), full);
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.json.tmp"));
}

TEST(PathProvider, OverrideLocalAppDataAndPlatformFolder)
{
    namespace fs = std::filesystem;
    EXPECT_EQ(PathProvider::resolve(fs::path("/x/over"), "/lad", "/home/u/.local/share"), fs::path("/x/over"));
    EXPECT_EQ(PathProvider::resolve(std::nullopt, "/lad", "/p"), fs::path("/lad") / "ZelmarDMM5174K");
    EXPECT_EQ(PathProvider::resolve(std::nullopt, "", "/p"), fs::path("/p") / "ZelmarDMM5174K");
    EXPECT_EQ(PathProvider::resolve(std::nullopt, nullptr, "/p"), fs::path("/p") / "ZelmarDMM5174K");

    TempDir dir;
    const PathProvider paths(dir / "data");
    EXPECT_EQ(paths.settingsPath(), dir / "data" / "settings.json");
    EXPECT_EQ(paths.journalPath(), dir / "data" / "temp" / "current.jsonl");
    EXPECT_EQ(paths.journalMetaPath(), dir / "data" / "temp" / "current.meta.json");
    EXPECT_TRUE(fs::is_directory(dir / "data" / "temp"));
    EXPECT_FALSE(platformUserDataDirectory().empty());
}


// Limits are an optional list: written only when some are set, read back
// whole, and an entry that makes no sense is dropped alone.
TEST(Settings, LimitsRoundTripAndBadEntriesAreDroppedAlone)
{
    AppSettings settings;
    settings.limits = { { 2, "V", { 1.5, 12.25, true } }, { 6, "k\u03A9", { std::nullopt, 100.0, false } } };
    const std::string text = SettingsStore::encode(settings);
    EXPECT_NE(text.find("\"limits\": ["), std::string::npos);
    EXPECT_EQ(SettingsStore::decode(text), settings);
    EXPECT_EQ(SettingsStore::encode(AppSettings {}).find("limits"), std::string::npos);

    const AppSettings read = SettingsStore::decode(R"({"recordInterval": 5, "limits": [
        {"function": 2, "unit": "V", "low": 1, "high": 2},
        {"function": 2, "unit": "V", "low": 3, "high": 2},
        {"function": 300, "unit": "V", "high": 2},
        {"function": 3, "unit": "mV"},
        {"function": 4, "high": 2},
        {"function": 5, "unit": "A", "high": "2"},
        "V",
        {"function": 6, "unit": "\u03A9", "low": -1, "beep": true}
    ]})");
    EXPECT_EQ(read.recordInterval, 5);
    ASSERT_EQ(read.limits.size(), 2u);
    EXPECT_EQ(read.limits[0], (LimitsFor { 2, "V", { 1.0, 2.0, false } }));
    EXPECT_EQ(read.limits[1], (LimitsFor { 6, "\u03A9", { -1.0, std::nullopt, true } }));
    EXPECT_TRUE(SettingsStore::decode(R"({"limits": {"function": 2}})").limits.empty());
}

} // namespace
} // namespace zelmar
